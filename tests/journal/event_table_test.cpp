#include "protocol/codecs/event_codec.hpp"

#include <gtest/gtest.h>

using namespace torl7;

namespace {

class EventTableTest : public ::testing::Test {
protected:
    // A record stamped with the date and time given; Ua carries a tag to tell rows apart.
    static EventRecord event(ClockStamp stamp, int orderDigit, int tag) {
        EventRecord r;
        r.stamp = stamp;
        r.orderDigit = static_cast<std::uint8_t>(orderDigit);
        r.uaVolts = static_cast<std::uint16_t>(tag);
        return r;
    }

    static EventRecord erased() { return decodeEventRecord(erasedEventRecordBytes()); }

    // Every block of a read, filled with erased records except where `place` puts one.
    void storeAllBlocks(const std::vector<std::pair<std::size_t, EventRecord>>& placed) {
        std::array<EventBlock, kEventBlocks> blocks;
        for (std::size_t b = 0; b < kEventBlocks; ++b) {
            blocks[b].index = static_cast<std::uint8_t>(b);
            blocks[b].records.fill(erased());
        }
        for (const auto& [entry, record] : placed) {
            blocks[entry / 10].records[entry % 10] = record;
        }
        for (const EventBlock& block : blocks) {
            table.storeBlock(block);
        }
    }

    static std::vector<std::string> tags(const std::vector<EventRow>& rows) {
        std::vector<std::string> out;
        for (const EventRow& row : rows) {
            out.push_back(row[4]);
        }
        return out;
    }

    using Tags = std::vector<std::string>;
    EventTable table;
};

} // namespace

TEST_F(EventTableTest, hundredDistinctEventsComeOutOldestFirst) {
    std::vector<std::pair<std::size_t, EventRecord>> placed;
    for (std::size_t i = 0; i < EventTable::kEntries; ++i) {
        // Stored newest first, one a day back from 10.04.19 12:00:00.
        const int daysBack = static_cast<int>(i);
        ClockStamp stamp{0, 0, 12, 0, 0, 19};
        if (daysBack < 10) {
            stamp.day = 10 - daysBack, stamp.month = 4;
        } else if (daysBack < 41) {
            stamp.day = 31 - (daysBack - 10), stamp.month = 3;
        } else if (daysBack < 69) {
            stamp.day = 28 - (daysBack - 41), stamp.month = 2;
        } else {
            stamp.day = 31 - (daysBack - 69), stamp.month = 1;
        }
        placed.emplace_back(i, event(stamp, 0, static_cast<int>(i)));
    }
    storeAllBlocks(placed);
    const auto rows = table.finish();
    ASSERT_EQ(rows.size(), 100u);
    EXPECT_EQ(rows.front()[0], "01.01.19  12:00:00:0");
    EXPECT_EQ(rows.front()[4], "99");
    EXPECT_EQ(rows.back()[0], "10.04.19  12:00:00:0");
    EXPECT_EQ(rows.back()[4], "0");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        EXPECT_EQ(rows[r][4], std::to_string(99 - r));
    }
}

TEST_F(EventTableTest, noValidRecordGivesNoRows) {
    storeAllBlocks({});
    EXPECT_TRUE(table.finish().empty());
    EventBlock zeros; // all-zero records: day 00, month 00
    table.storeBlock(zeros);
    EXPECT_TRUE(table.finish().empty());
}

TEST_F(EventTableTest, eventsOfTheSameSecondOrderByDigitThenByPlace) {
    const ClockStamp second{45, 30, 14, 5, 3, 16};
    const ClockStamp earlier{44, 30, 14, 5, 3, 16};
    storeAllBlocks({
        {3, event(second, 5, 1)},
        {17, event(second, 2, 2)},
        {42, event(second, 5, 3)},
        {90, event(earlier, 9, 4)},
        {91, event(second, 2, 5)},
    });
    EXPECT_EQ(tags(table.finish()), (Tags{"4", "2", "5", "1", "3"}));
}

TEST_F(EventTableTest, aFullTableOfEqualEventsKeepsThePlaceOrder) {
    std::vector<std::pair<std::size_t, EventRecord>> placed;
    Tags expected;
    for (std::size_t i = 0; i < EventTable::kEntries; ++i) {
        // Every third one a digit lower: those come first, each group in table order.
        const int digit = i % 3 == 0 ? 1 : 4;
        placed.emplace_back(i, event({7, 7, 7, 7, 7, 17}, digit, static_cast<int>(i)));
        if (digit == 1) {
            expected.push_back(std::to_string(i));
        }
    }
    for (std::size_t i = 0; i < EventTable::kEntries; ++i) {
        if (i % 3 != 0) {
            expected.push_back(std::to_string(i));
        }
    }
    storeAllBlocks(placed);
    EXPECT_EQ(tags(table.finish()), expected);
}

TEST_F(EventTableTest, orderDigitTwelveTiesAsOne) {
    const ClockStamp second{0, 0, 8, 1, 6, 20};
    storeAllBlocks({
        {0, event(second, 2, 1)},
        {1, event(second, 12, 2)},
        {2, event(second, 1, 3)},
        {3, event(second, 0, 4)},
    });
    const auto rows = table.finish();
    EXPECT_EQ(tags(rows), (Tags{"4", "2", "3", "1"}));
    EXPECT_EQ(rows[1][0], "01.06.20  08:00:00:12");
}

TEST_F(EventTableTest, impossibleDatesAndTimesAreDropped) {
    const auto at = [](int day, int month, int year, int hours, int minutes, int seconds) {
        return ClockStamp{seconds, minutes, hours, day, month, year};
    };
    storeAllBlocks({
        {0, event(at(31, 2, 16, 10, 0, 0), 0, 1)}, // 31 February
        {1, event(at(29, 2, 16, 10, 0, 0), 0, 2)}, // 2016 is a leap year
        {2, event(at(29, 2, 17, 10, 0, 0), 0, 3)}, // 2017 is not
        {3, event(at(1, 1, 16, 24, 0, 0), 0, 4)},  // hour 24
        {4, event(at(1, 1, 16, 23, 60, 0), 0, 5)}, // minute 60
        {5, event(at(1, 1, 16, 23, 0, 60), 0, 6)}, // second 60
        {6, event(at(0, 1, 16, 0, 0, 0), 0, 7)},   // day 0
        {7, event(at(1, 13, 16, 0, 0, 0), 0, 8)},  // month 13
        {8, event(at(1, 1, 100, 0, 0, 0), 0, 9)},  // a three-digit year
        {9, event(at(31, 12, 99, 23, 59, 59), 15, 10)},
        {10, event(at(1, 1, 0, 0, 0, 0), 0, 11)},
        {11, event(at(30, 4, 16, 0, 0, 0), 0, 12)},
        {12, event(at(31, 4, 16, 0, 0, 0), 0, 13)}, // April has 30 days
    });
    const auto rows = table.finish();
    EXPECT_EQ(tags(rows), (Tags{"11", "2", "12", "10"}));
}

TEST_F(EventTableTest, aLaterShorterReadNeverShowsARowOfTheEarlierOne) {
    std::vector<std::pair<std::size_t, EventRecord>> placed;
    for (std::size_t i = 0; i < EventTable::kEntries; ++i) {
        placed.emplace_back(i,
                            event({static_cast<int>(i % 60), static_cast<int>(i / 60), 9, 2, 7, 21},
                                  0, static_cast<int>(i)));
    }
    storeAllBlocks(placed);
    ASSERT_EQ(table.finish().size(), 100u);

    // The next read gets block 0 and then a block whose index has no place in the table.
    EventBlock first;
    first.index = 0;
    first.records.fill(erased());
    first.records[4] = event({0, 0, 10, 2, 7, 21}, 0, 500);
    table.storeBlock(first);
    EventBlock stray;
    stray.index = 12;
    stray.records.fill(event({0, 0, 11, 2, 7, 21}, 0, 600));
    table.storeBlock(stray);
    EXPECT_EQ(tags(table.finish()), (Tags{"500"}));

    // Nothing is left to show without a new read.
    EXPECT_TRUE(table.finish().empty());
}

TEST_F(EventTableTest, aBlockAnsweredTwiceKeepsOnlyItsLatestRecords) {
    EventBlock block;
    block.index = 3;
    block.records.fill(erased());
    block.records[0] = event({1, 0, 0, 1, 1, 22}, 0, 1);
    table.storeBlock(block);
    block.records[0] = event({2, 0, 0, 1, 1, 22}, 0, 2);
    table.storeBlock(block);
    EXPECT_EQ(tags(table.finish()), (Tags{"2"}));
}

TEST_F(EventTableTest, clearForgetsStoredEntries) {
    EventBlock block;
    block.records.fill(event({1, 0, 0, 1, 1, 22}, 0, 1));
    table.storeBlock(block);
    table.clear();
    EXPECT_TRUE(table.finish().empty());
}
