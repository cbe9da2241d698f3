// The event protocol read and the accounting exchange against the in-memory line.
#include "session/operation_fixture.hpp"
#include "session/operations/journal_reads.hpp"

using namespace torl7;
using namespace torl7::test;

namespace {

class JournalReadsTest : public OperationFixture {
protected:
    // Block `index` whose first record is an event at 15.06.21 10:<minute>:00, Ua = `tag`.
    static Bytes block(std::uint8_t index, int minute, int tag) {
        std::array<Bytes, kEventsPerBlock> records;
        records.fill(erasedEventRecordBytes());
        EventRecord r;
        r.stamp = ClockStamp{0, minute, 10, 15, 6, 21};
        r.uaVolts = static_cast<std::uint16_t>(tag);
        records[0] = encodeEventRecord(r);
        return encodeEventBlockBytes(index, records);
    }

    EventTable table;
    EventProtocolRead read{session, table};
    std::vector<int> progress;
    std::vector<Outcome<EventRows>> ends;

    void start() {
        read.onProgress([this](Progress p) { progress.push_back(p.done); });
        read.onFinished([this](const Outcome<EventRows>& end) { ends.push_back(end); });
        read.start();
    }
    std::vector<int> blocksAskedFor() const {
        std::vector<int> blocks;
        for (const Frame& f : sent()) {
            EXPECT_EQ(f.command(), kind::EventBlock);
            blocks.push_back(f.reader().byte(0));
        }
        return blocks;
    }
};

} // namespace

TEST_F(JournalReadsTest, eventReadFollowsTheIndexTheUnitAnswersWith) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> answered; // the index of each answer, in turn
        std::vector<int> asked;
        std::vector<int> progress;
    };
    const std::vector<Case> cases{
        {"every block in turn",
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"the unit skips ahead", {0, 7, 8, 9}, {0, 1, 8, 9}, {1, 8, 9, 10}},
        {"an index beyond 9 ends the read", {0, 12}, {0, 1}, {1, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        line.clearWritten();
        progress.clear();
        ends.clear();
        ASSERT_FALSE(session.openPort().has_value());
        start();
        for (std::size_t i = 0; i < c.answered.size(); ++i) {
            EXPECT_EQ(read.step(), EventProtocolRead::Step::ReadingBlocks);
            answer(kind::EventBlock,
                   block(c.answered[i], static_cast<int>(i), 100 + c.answered[i]));
        }
        EXPECT_EQ(blocksAskedFor(), c.asked);
        EXPECT_EQ(progress, c.progress);
        ASSERT_EQ(ends.size(), 1u);
        ASSERT_TRUE(ends[0]);
        EXPECT_EQ(read.step(), EventProtocolRead::Step::Idle);
        EXPECT_FALSE(line.isOpen());
    }
    // The last case stored block 0 only (12 names no block): one row, its Ua.
    ASSERT_EQ(ends[0].result->size(), 1u);
    EXPECT_EQ((*ends[0].result)[0][4], "100");
}

TEST_F(JournalReadsTest, eventReadEndsOnceWithTheTimeoutAndKeepsWhatItStored) {
    start();
    answer(kind::EventBlock, block(0, 1, 11));
    answer(kind::EventBlock, block(1, 2, 12));
    answer(kind::AccountingRead, Bytes(19, 0)); // answers no block request
    EXPECT_TRUE(ends.empty());
    session.answerTimedOut();
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_FALSE(ends[0]);
    EXPECT_EQ(ends[0].error->kind, SessionError::Kind::Timeout);
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(sent().size(), 3u) << "nothing asked after the timeout";
    // The blocks already stored are shown by the next read that completes.
    EXPECT_EQ(table.finish().size(), 2u);
}

TEST_F(JournalReadsTest, accountingReadAndResetSendTheirKindAndDecodeTheAnswer) {
    AccountingRecord record;
    record.runningSeconds = 3725;
    record.starts = 57;
    for (const auto request : {AccountingRequest::Read, AccountingRequest::Reset}) {
        const std::uint8_t code =
            request == AccountingRequest::Read ? kind::AccountingRead : kind::AccountingReset;
        line.clearWritten();
        ASSERT_FALSE(session.openPort().has_value());
        std::vector<Outcome<AccountingRecord>> accountingEnds;
        AccountingExchange exchange(session);
        exchange.onFinished([&](const auto& end) { accountingEnds.push_back(end); });
        exchange.start(request);
        ASSERT_EQ(sent().size(), 1u);
        EXPECT_EQ(sent()[0].command(), code);
        EXPECT_EQ(sent()[0].length(), 0u);
        answer(code == kind::AccountingRead ? kind::AccountingReset : kind::AccountingRead,
               encodeAccounting({}));
        EXPECT_TRUE(accountingEnds.empty()) << "the other kind's answer is not this one's";
        answer(code, encodeAccounting(record));
        ASSERT_EQ(accountingEnds.size(), 1u);
        EXPECT_EQ(accountingEnds[0].result, record);
        EXPECT_FALSE(line.isOpen());
    }
}
