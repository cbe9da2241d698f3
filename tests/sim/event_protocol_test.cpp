#include "sim/event_protocol.hpp"

#include <gtest/gtest.h>

#include <algorithm>

using namespace torl7;
using namespace torl7::sim;

namespace {

std::vector<EventRow> readAll(const EventProtocol& protocol) {
    EventTable table;
    for (std::uint8_t b = 0; b < kEventBlocks; ++b) {
        table.storeBlock(decodeEventBlock(protocol.block(b)));
    }
    return table.finish();
}

TEST(EventProtocol, sample_isOutOfOrderWithTiesAndRecordsTheToolDrops) {
    const auto rows = readAll(EventProtocol::sample());
    ASSERT_EQ(rows.size(), 18u); // 20 written, the impossible date and the zeros dropped
    EXPECT_EQ(rows.front()[0], "05.09.25  10:10:10:0");
    EXPECT_EQ(rows.back()[0], "11.08.26  15:22:48:0");
    const auto at = [&](const std::string& stamp) {
        return std::ranges::find_if(
                   rows, [&](const EventRow& row) { return row[0].starts_with(stamp); }) -
               rows.begin();
    };
    // Same second: the lower order digit first though written later.
    EXPECT_EQ(rows[at("20.12.25  06:03:58")][0], "20.12.25  06:03:58:0");
    EXPECT_EQ(rows[at("20.12.25  06:03:58") + 1][0], "20.12.25  06:03:58:1");
    EXPECT_EQ(EventProtocol::sample().slot(99), erasedEventRecordBytes());
}

TEST(EventProtocol, parse_readsEveryLineFormIntoItsSlot) {
    const auto parsed = EventProtocol::parse("# two records, then a gap\n"
                                             "05.03.16 14:30:45 3 81 20 220 221 222 12,3 12.4 "
                                             "100 0,5 0,85\n"
                                             "\n"
                                             "erased\n"
                                             "03 45 30 14 05 03 16 81 20 00 DC 00 DD 00 DE 00 7B "
                                             "00 7C 03 E8 00 05 D5\n");
    ASSERT_TRUE(std::holds_alternative<EventProtocol>(parsed)) << std::get<std::string>(parsed);
    const auto& protocol = std::get<EventProtocol>(parsed);
    const Bytes worked{0x03, 0x45, 0x30, 0x14, 0x05, 0x03, 0x16, 0x81, 0x20, 0x00, 0xDC, 0x00,
                       0xDD, 0x00, 0xDE, 0x00, 0x7B, 0x00, 0x7C, 0x03, 0xE8, 0x00, 0x05, 0xD5};
    EXPECT_EQ(protocol.slot(0), worked);
    EXPECT_EQ(protocol.slot(1), erasedEventRecordBytes());
    EXPECT_EQ(protocol.slot(2), worked);
    EXPECT_EQ(protocol.slot(3), erasedEventRecordBytes());
}

TEST(EventProtocol, parse_namesTheLineOfABadRecord) {
    const auto error = [](std::string_view text) {
        const auto parsed = EventProtocol::parse(text);
        return std::holds_alternative<std::string>(parsed) ? std::get<std::string>(parsed) : "";
    };
    EXPECT_TRUE(error("erased\n\nbogus\n").starts_with("line 3:"));
    EXPECT_TRUE(error("05.03.16 14:30:45 16 81 20 220 221 222 12,3 12,4 100 0,5 0,85")
                    .starts_with("line 1:")); // order digit above 15
    EXPECT_TRUE(error("05.03.16 14:30:45 3 81 20 220 221 222 12,3 12,4 100 0,5 1,5")
                    .starts_with("line 1:")); // cos f above 1
    EXPECT_TRUE(error("03 45 30 14 05 03 16 81 20 00 DC 00 DD 00 DE 00 7B 00 7C 03 E8 00 05 G5")
                    .find("G5") != std::string::npos);
    std::string tooMany;
    for (int i = 0; i < 101; ++i) {
        tooMany += "erased\n";
    }
    EXPECT_TRUE(error(tooMany).starts_with("line 101:"));
}

TEST(EventProtocol, append_fillsErasedSlotsThenOverwritesRoundTheRing) {
    EventProtocol protocol;
    EventRecord record;
    for (int i = 0; i < 103; ++i) {
        record.uaVolts = static_cast<std::uint16_t>(i);
        protocol.append(record);
    }
    EXPECT_EQ(decodeEventRecord(protocol.slot(0)).uaVolts, 100);
    EXPECT_EQ(decodeEventRecord(protocol.slot(2)).uaVolts, 102);
    EXPECT_EQ(decodeEventRecord(protocol.slot(3)).uaVolts, 3);
}

} // namespace
