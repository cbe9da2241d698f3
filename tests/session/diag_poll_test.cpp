// The diagnostics poll on the fake line: the sequence of selectors, the two ways it is paced,
// answers that arrive while another command holds the line, and how it ends.
#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/codecs/waveform_codec.hpp"
#include "session/operations/diag_poll.hpp"
#include "support/fake_serial_line.hpp"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace torl7;
using namespace torl7::test;

namespace {

class DiagPollTest : public ::testing::Test {
protected:
    DiagPollTest() {
        session.setPort(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("ttyUSB0"));
        EXPECT_FALSE(session.openPort());
        QObject::connect(&poll, &DiagPoll::snapshotReceived, [this] { ++snapshots; });
        QObject::connect(&poll, &DiagPoll::waveformsReady,
                         [this](const WaveformSamples& s) { drawn.push_back(s.voltage[1][0]); });
        poll.onFinished([this](const Outcome<PollSummary>& o) {
            summary = o.result;
            if (!o) {
                errors.push_back(o.error->kind);
            }
        });
    }

    void feed(std::uint8_t code, const Bytes& payload) {
        line.feedBytes(buildFrame(600, code, payload));
    }
    // The unit answers the last diagnostics request as a healthy unit would.
    void answerPending() {
        const int selector = selectorsSent().back();
        if (selector == kSnapshotSelector) {
            feed(kind::Diagnostics, encodeSnapshot(Snapshot{}));
            return;
        }
        WaveformBlock block;
        block.selector = static_cast<std::uint8_t>(selector);
        block.voltage.fill(static_cast<std::uint8_t>(selector));
        feed(kind::Diagnostics, encodeWaveformBlock(block));
    }
    std::vector<int> selectorsSent() const {
        std::vector<int> selectors;
        for (const QByteArray& write : line.writes) {
            if (write.size() == 9 && write[4] == kind::Diagnostics) {
                selectors.push_back(static_cast<std::uint8_t>(write[6]));
            }
        }
        return selectors;
    }

    FakeSerialLine line;
    UnitSession session{line};
    DiagPoll poll{session};
    int snapshots = 0;
    std::vector<int> drawn; // phase B's first voltage sample of each drawing
    std::vector<SessionError::Kind> errors;
    std::optional<PollSummary> summary;
};

} // namespace

TEST_F(DiagPollTest, eachViewFetchesItsBlocksAfterEverySnapshotThenDrawsAndStartsAgain) {
    struct Case {
        int view;
        std::vector<int> selectors; // two rounds
        int drawings;
    };
    const Case cases[] = {
        {0, {0, 0, 0}, 0},
        {1, {0, 17, 0, 17, 0}, 2},
        {2, {0, 1, 18, 0, 1, 18, 0}, 2},
        {3, {0, 1, 2, 19, 0, 1, 2, 19, 0}, 2},
    };
    for (const Case& c : cases) {
        line.clearWritten();
        drawn.clear();
        poll.start(c.view);
        while (selectorsSent().size() < c.selectors.size()) {
            answerPending();
        }
        EXPECT_EQ(selectorsSent(), c.selectors) << "view " << c.view;
        EXPECT_EQ(static_cast<int>(drawn.size()), c.drawings) << "view " << c.view;
        poll.stop();
    }
    EXPECT_EQ(drawn.back(), 2) << "phase B's block went into phase B's arrays";
}

// The headless client's reads end at the first unanswered request; its monitor, like the
// window's watchdog, asks again and ends only after five misses in a row.
TEST_F(DiagPollTest, withAnswerTimeoutsAnUnansweredRequestIsAskedAgainUpToTheMissesAllowed) {
    for (const int allowed : {1, DiagPoll::kMaxMisses}) {
        SCOPED_TRACE(allowed);
        line.clearWritten();
        errors.clear();
        poll.start(2, DiagPoll::Pace::AnswerTimeout, 1, allowed);
        EXPECT_FALSE(poll.watchdogArmed()) << "no watchdog";
        EXPECT_TRUE(session.answerTimeoutArmed()) << "the request has its answer timeout";
        answerPending();
        ASSERT_EQ(poll.blockCount(), 1);
        EXPECT_EQ(poll.blockSelectors()[0], 1);
        for (int miss = 1; miss < allowed; ++miss) {
            session.answerTimedOut();
            EXPECT_TRUE(poll.running()) << "a miss is asked again";
        }
        EXPECT_TRUE(errors.empty());
        session.answerTimedOut();
        EXPECT_EQ(errors, std::vector{SessionError::Kind::Timeout});
        EXPECT_FALSE(poll.running());
        std::vector<int> expected{1};
        expected.insert(expected.end(), static_cast<std::size_t>(allowed), 18);
        EXPECT_EQ(selectorsSent(), expected);
        ASSERT_TRUE(summary);
        EXPECT_EQ(summary->misses, allowed);
    }
}

TEST_F(DiagPollTest, fifthMissEndsItWithATimeoutAndAPortThatWillNotReopenEndsItAtOnce) {
    poll.start(0);
    for (int tick = 0; tick < 2 * DiagPoll::kMaxMisses - 1; ++tick) {
        poll.watchdogTick();
    }
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(selectorsSent().size(), 5u) << "the request and four repetitions";
    poll.watchdogTick();
    EXPECT_EQ(errors, std::vector{SessionError::Kind::Timeout});
    EXPECT_FALSE(poll.watchdogArmed().has_value());

    errors.clear();
    poll.start(0);
    session.idleCloseElapsed(); // the idle close
    line.failNextOpen = true;
    poll.watchdogTick();
    poll.watchdogTick();
    EXPECT_EQ(errors, std::vector{SessionError::Kind::PortNotOpened});
    EXPECT_FALSE(poll.running());

    // A pulled-out adapter ends it at once: no watchdog left to reopen a port that is gone.
    errors.clear();
    poll.start(0);
    line.loseDevice();
    EXPECT_EQ(errors, std::vector{SessionError::Kind::LineLost});
    EXPECT_FALSE(poll.running());
    EXPECT_FALSE(poll.watchdogArmed().has_value());
}

TEST_F(DiagPollTest, aPollAnswerBehindAnotherCommandIsReportedButAsksForNothing) {
    poll.start(1);
    std::optional<Answer> versionAnswer;
    session.request(kind::Version, {}, [&](const Answer& a) { versionAnswer = a; });
    line.clearWritten();
    feed(kind::Diagnostics, encodeSnapshot(Snapshot{}));
    EXPECT_EQ(snapshots, 1);
    EXPECT_TRUE(selectorsSent().empty()) << "the version request still waits for its answer";
    EXPECT_FALSE(versionAnswer);
    // The watchdog's repetition waits for the version's answer, and then goes out.
    poll.watchdogTick();
    poll.watchdogTick();
    EXPECT_TRUE(selectorsSent().empty()) << "sent over the version request, it would lose it";
    feed(kind::Version, Bytes(16, 0x56));
    ASSERT_TRUE(versionAnswer && versionAnswer->frame);
    poll.watchdogTick();
    poll.watchdogTick();
    EXPECT_EQ(selectorsSent(), std::vector<int>{0});
}

TEST_F(DiagPollTest, stoppedFromTheReportOfAnAnswerItAsksForNothingMore) {
    QObject::connect(&poll, &DiagPoll::snapshotReceived, &poll, [this] { poll.stop(); });
    poll.start(3);
    answerPending();
    EXPECT_EQ(snapshots, 1);
    EXPECT_EQ(selectorsSent(), std::vector<int>{0});
    EXPECT_EQ(poll.nextSelector(), 1) << "the selector still moves on";
}

// The unit echoes the selector it was asked with. A block carrying another one (a late answer
// to an earlier request on a slow line) or a calibration sample is not this request's: its data
// stays out of the drawing, and the same block is asked for again, by the watchdog in the window
// and at once without one, where a unit that never answers what is asked ends as a miss.
TEST_F(DiagPollTest, aBlockWithAnotherSelectorIsNotTakenAndTheBlockIsAskedForAgain) {
    const auto block = [](int selector, int sample) {
        WaveformBlock b;
        b.selector = static_cast<std::uint8_t>(selector);
        b.voltage.fill(static_cast<std::uint8_t>(sample));
        return encodeWaveformBlock(b);
    };
    const std::pair<const char*, Bytes> strays[] = {
        {"the last block of the sequence before", block(19, 99)},
        {"phase A's block again", block(1, 98)},
        {"a calibration sample", Bytes(15, 4)},
    };
    for (const auto& [what, stray] : strays) {
        drawn.clear();
        snapshots = 0;
        line.clearWritten();
        poll.start(3);
        answerPending();                // snapshot
        answerPending();                // phase A
        feed(kind::Diagnostics, stray); // where phase B was asked for
        EXPECT_TRUE(drawn.empty()) << what;
        EXPECT_EQ(snapshots, 1) << what;
        EXPECT_EQ(selectorsSent(), (std::vector<int>{0, 1, 2})) << what;
        poll.watchdogTick();
        poll.watchdogTick();
        EXPECT_EQ(selectorsSent(), (std::vector<int>{0, 1, 2, 2})) << what << ": asked again";
        answerPending();
        answerPending();
        ASSERT_EQ(drawn, std::vector<int>{2}) << what << ": phase B from its own block";
        poll.stop();
    }

    line.clearWritten();
    poll.start(2, DiagPoll::Pace::AnswerTimeout, 1);
    for (int stray = 0; stray < DiagPoll::kMaxMisses; ++stray) {
        feed(kind::Diagnostics, block(18, 7));
    }
    EXPECT_EQ(selectorsSent(), std::vector<int>(DiagPoll::kMaxMisses, 1));
    EXPECT_EQ(errors, std::vector{SessionError::Kind::Timeout});
    EXPECT_FALSE(poll.running());
}
