#include "protocol/codecs/event_codec.hpp"

#include "diag/random_values.hpp"

#include <gtest/gtest.h>

using namespace torl7;

namespace {

const Bytes kWorkedRecord{0x03, 0x45, 0x30, 0x14, 0x05, 0x03, 0x16, 0x81, 0x20, 0x00, 0xDC, 0x00,
                          0xDD, 0x00, 0xDE, 0x00, 0x7B, 0x00, 0x7C, 0x03, 0xE8, 0x00, 0x05, 0xD5};

EventRecord recordWith(std::uint8_t protection, std::uint8_t state = 0) {
    EventRecord r;
    r.protection = protection;
    r.state = state;
    return r;
}

} // namespace

TEST(EventRecord, workedRecordDecodesFieldByField) {
    const EventRecord r = decodeEventRecord(kWorkedRecord);
    EXPECT_EQ(r.orderDigit, 3);
    EXPECT_EQ(r.stamp, (ClockStamp{45, 30, 14, 5, 3, 16}));
    EXPECT_EQ(r.state, 0x81);
    EXPECT_EQ(r.protection, 0x20);
    EXPECT_EQ(r.uaVolts, 220);
    EXPECT_EQ(r.ubVolts, 221);
    EXPECT_EQ(r.ucVolts, 222);
    EXPECT_EQ(r.iaTenthsAmp, 123);
    EXPECT_EQ(r.ibTenthsAmp, 124);
    EXPECT_EQ(r.icTenthsAmp, 1000);
    EXPECT_EQ(r.idifTenthsAmp, 5);
    EXPECT_EQ(r.cosByte, 0xD5);
    EXPECT_EQ(encodeEventRecord(r), kWorkedRecord);
}

TEST(EventRecord, workedRecordGivesTheTwelveTextsOfItsRow) {
    const EventRow expected = {"05.03.16  14:30:45:3",
                               "Вкл.",
                               "Вкл.",
                               "Перегруз",
                               "220",
                               "221",
                               "222",
                               "12,3",
                               "12,4",
                               "100",
                               "0,5",
                               "0,85"};
    EXPECT_EQ(eventRowTexts(decodeEventRecord(kWorkedRecord)), expected);
}

TEST(EventRecord, orderDigitIsTheLowNibbleWrittenWithoutLeadingZero) {
    Bytes bytes = kWorkedRecord;
    bytes[0] = 0xFC;
    const EventRecord r = decodeEventRecord(bytes);
    EXPECT_EQ(r.orderDigit, 12);
    EXPECT_EQ(eventRowTexts(r)[0], "05.03.16  14:30:45:12");
    EXPECT_EQ(encodeEventRecord(r)[0], 0x0C);
}

TEST(EventRecord, highestProtectionFlagNamesTheProtection) {
    EXPECT_EQ(eventRowTexts(recordWith(0x21))[3], "Перегруз");
    EXPECT_EQ(eventRowTexts(recordWith(0x00))[3], "");
    EXPECT_EQ(eventRowTexts(recordWith(0xFF))[3], "Утечка тока");
    EXPECT_EQ(eventRowTexts(recordWith(0x01))[3], "Umin");
    EXPECT_EQ(eventRowTexts(recordWith(0x03))[3], "Umax");
    EXPECT_EQ(eventRowTexts(recordWith(0x04))[3], "Uасм");
    EXPECT_EQ(eventRowTexts(recordWith(0x0F))[3], "Iхол");
    EXPECT_EQ(eventRowTexts(recordWith(0x10))[3], "Iасм");
    EXPECT_EQ(eventRowTexts(recordWith(0x41))[3], "Заклинивание");
}

TEST(EventRecord, stateBitsSevenAndZeroGiveTheTwoStateColumns) {
    const auto states = [](std::uint8_t state) {
        const EventRow row = eventRowTexts(recordWith(0, state));
        return row[1] + "/" + row[2];
    };
    EXPECT_EQ(states(0x81), "Вкл./Вкл.");
    EXPECT_EQ(states(0x00), "Выкл./Выкл.");
    EXPECT_EQ(states(0x80), "Вкл./Выкл.");
    EXPECT_EQ(states(0x7F), "Выкл./Вкл.");
}

TEST(EventRecord, leakageCurrentFollowsThePhaseCurrentRule) {
    EventRecord r;
    r.idifTenthsAmp = 1005;
    r.cosByte = 0xE4;
    const EventRow row = eventRowTexts(r);
    EXPECT_EQ(row[10], "101");
    EXPECT_EQ(row[11], "1,00");
}

TEST(EventRecord, erasedRecordReadsAboveEveryCalendarRange) {
    const EventRecord r = decodeEventRecord(erasedEventRecordBytes());
    EXPECT_EQ(r.orderDigit, 15);
    EXPECT_EQ(r.stamp, (ClockStamp{85, 85, 45, 45, 25, 165}));
    EXPECT_EQ(eventRowTexts(r)[0], "45.25.165  45:85:85:15");
    EXPECT_EQ(decodeEventRecord(encodeEventRecord(r)), r);
}

TEST(EventBlock, indexThenTenRecordsOf24Bytes) {
    EventBlock block;
    block.index = 7;
    for (std::size_t k = 0; k < kEventsPerBlock; ++k) {
        block.records[k].uaVolts = static_cast<std::uint16_t>(100 + k);
        block.records[k].orderDigit = static_cast<std::uint8_t>(k);
    }
    const Bytes bytes = encodeEventBlock(block);
    ASSERT_EQ(bytes.size(), kEventBlockSize);
    EXPECT_EQ(bytes[0], 7);
    EXPECT_EQ(bytes[1 + 24 * 9], 9) << "order digit of record 9";
    EXPECT_EQ(bytes[1 + 24 * 9 + 10], 109) << "low byte of Ua of record 9";
    EXPECT_TRUE(decodeEventBlock(bytes) == block);
}

TEST(EventBlock, rawRecordsAreFittedTo24BytesAndErasedOnesSentAsTheyAre) {
    std::array<Bytes, kEventsPerBlock> records;
    records.fill(erasedEventRecordBytes());
    records[0] = kWorkedRecord;
    records[1] = Bytes{0x05};     // short: zero-filled
    records[2] = Bytes(30, 0x11); // long: cut
    const Bytes bytes = encodeEventBlockBytes(2, records);
    ASSERT_EQ(bytes.size(), kEventBlockSize);
    EXPECT_EQ(Bytes(bytes.begin() + 1, bytes.begin() + 25), kWorkedRecord);
    EXPECT_EQ(bytes[25], 0x05);
    EXPECT_EQ(bytes[26], 0x00);
    EXPECT_EQ(bytes[49], 0x11);
    EXPECT_EQ(bytes[73], 0xFF);
    EXPECT_EQ(bytes[240], 0xFF);
}

TEST(EventBlock, aShortAnswerReadsZeroRecordsWhereItEnds) {
    Bytes bytes{0x04};
    bytes.insert(bytes.end(), kWorkedRecord.begin(), kWorkedRecord.end());
    const EventBlock block = decodeEventBlock(bytes);
    EXPECT_EQ(block.index, 4);
    EXPECT_EQ(block.records[0], decodeEventRecord(kWorkedRecord));
    EXPECT_EQ(block.records[1], EventRecord{});
    EXPECT_EQ(decodeEventBlock({}), EventBlock{});
}

TEST(EventRoundTrip, anyValueTheFieldsCanCarrySurvivesEncodeAndDecode) {
    codec_testing::RandomValues rnd(0x5A5A0003);
    for (int i = 0; i < 300; ++i) {
        EventBlock block;
        block.index = rnd.any<std::uint8_t>();
        for (EventRecord& r : block.records) {
            r.orderDigit = static_cast<std::uint8_t>(rnd.between(0, 15));
            r.stamp = rnd.stamp();
            r.state = rnd.any<std::uint8_t>();
            r.protection = rnd.any<std::uint8_t>();
            r.uaVolts = rnd.any<std::uint16_t>();
            r.ubVolts = rnd.any<std::uint16_t>();
            r.ucVolts = rnd.any<std::uint16_t>();
            r.iaTenthsAmp = rnd.any<std::uint16_t>();
            r.ibTenthsAmp = rnd.any<std::uint16_t>();
            r.icTenthsAmp = rnd.any<std::uint16_t>();
            r.idifTenthsAmp = rnd.any<std::uint16_t>();
            r.cosByte = rnd.any<std::uint8_t>();
        }
        ASSERT_TRUE(decodeEventBlock(encodeEventBlock(block)) == block) << "iteration " << i;
    }
}
