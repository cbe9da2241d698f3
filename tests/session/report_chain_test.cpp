// The report chain against the in-memory line: its steps in order over one open port, and a
// step left unanswered ends it.
#include "session/operation_fixture.hpp"
#include "session/operations/report_chain.hpp"

using namespace torl7;
using namespace torl7::test;

namespace {

class ReportChainTest : public OperationFixture {
protected:
    ReportChainTest() {
        record.tbMs = 42;
        accounting.starts = 57;
        EventRecord event;
        event.stamp = ClockStamp{0, 1, 10, 15, 6, 21};
        event.uaVolts = 230;
        std::array<Bytes, kEventsPerBlock> records;
        records.fill(erasedEventRecordBytes());
        records[3] = encodeEventRecord(event);
        for (std::uint8_t b = 0; b < kEventBlocks; ++b) {
            blocks[b] = encodeEventBlockBytes(b, records);
        }
    }

    void start() {
        ReportChain::Observer observer;
        observer.configurationRead = [this](const ConfigRecord& r) {
            seen.push_back("configuration " + std::to_string(r.tbMs));
        };
        observer.accountingRead = [this](const AccountingRecord& r) {
            seen.push_back("accounting " + std::to_string(r.starts));
        };
        chain.onProgress([this](Progress p) {
            if (p.done > 2) {
                seen.push_back("blocks " + std::to_string(p.done - 2));
            }
        });
        chain.onFinished([this](const Outcome<ReportChainData>& end) { ends.push_back(end); });
        chain.start(observer);
    }
    // Answers the chain's requests until `answers` of them are answered.
    void answerSteps(int answers) {
        const auto configBytes = encodeConfigRecord(record);
        for (int n = 0; n < answers; ++n) {
            if (n == 0) {
                answer(kind::ConfigRead, Bytes(configBytes.begin(), configBytes.end()));
            } else if (n == 1) {
                answer(kind::AccountingRead, encodeAccounting(accounting));
            } else {
                answer(kind::EventBlock, blocks[static_cast<std::size_t>(n - 2)]);
            }
        }
    }

    ConfigRecord record;
    AccountingRecord accounting;
    std::array<Bytes, kEventBlocks> blocks;
    EventTable table;
    ReportChain chain{session, table};
    std::vector<std::string> seen;
    std::vector<Outcome<ReportChainData>> ends;
};

} // namespace

TEST_F(ReportChainTest, configurationAccountingAndTenBlocksOverOneOpeningThenTheData) {
    const int opens = line.openCount;
    start();
    EXPECT_EQ(chain.step(), ReportStep::Configuration);
    answerSteps(1);
    EXPECT_EQ(chain.step(), ReportStep::Accounting);
    EXPECT_EQ(seen, std::vector<std::string>{"configuration 42"});
    answer(kind::AccountingRead, encodeAccounting(accounting));
    EXPECT_EQ(chain.step(), ReportStep::Events);
    for (std::uint8_t b = 0; b < kEventBlocks; ++b) {
        answer(kind::EventBlock, blocks[b]);
    }
    std::vector<std::uint8_t> kinds;
    for (const Frame& f : sent()) {
        kinds.push_back(f.command());
    }
    EXPECT_EQ(kinds, (std::vector<std::uint8_t>{2, 7, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6}));
    EXPECT_EQ(line.openCount, opens + 1) << "opened at the start, never again";
    EXPECT_FALSE(line.isOpen());
    ASSERT_EQ(seen.size(), 12u);
    EXPECT_EQ(seen[1], "accounting 57");
    EXPECT_EQ(seen[11], "blocks 10");
    ASSERT_EQ(ends.size(), 1u);
    ASSERT_TRUE(ends[0]);
    EXPECT_EQ(ends[0].result->record, record);
    EXPECT_EQ(ends[0].result->accounting, accounting);
    EXPECT_EQ(ends[0].result->events.size(), 10u) << "one event in each block";
    EXPECT_EQ(chain.step(), ReportStep::Idle);
}

TEST_F(ReportChainTest, aTimeoutAtAnyStepEndsTheChainOnceWithThatStep) {
    struct Case {
        int answered;
        ReportStep failed;
        std::size_t seenBefore;
    };
    for (const Case c : {Case{0, ReportStep::Configuration, 0}, Case{1, ReportStep::Accounting, 1},
                         Case{6, ReportStep::Events, 6}}) {
        SCOPED_TRACE(c.answered);
        ASSERT_FALSE(session.openPort().has_value());
        line.clearWritten();
        seen.clear();
        ends.clear();
        start();
        answerSteps(c.answered);
        session.answerTimedOut();
        ASSERT_EQ(ends.size(), 1u);
        EXPECT_FALSE(ends[0]);
        EXPECT_EQ(ends[0].error->kind, SessionError::Kind::Timeout);
        EXPECT_EQ(chain.failedStep(), c.failed);
        EXPECT_EQ(chain.step(), ReportStep::Idle);
        EXPECT_EQ(seen.size(), c.seenBefore);
        EXPECT_FALSE(line.isOpen());
        EXPECT_EQ(sent().size(), static_cast<std::size_t>(c.answered + 1));
    }
}
