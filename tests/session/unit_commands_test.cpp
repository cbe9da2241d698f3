// The one-shot commands against the in-memory line: the request each sends, the end it comes
// to, the port closed after the answer.
#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/codecs/version_codec.hpp"
#include "session/operation_fixture.hpp"
#include "session/operations/unit_commands.hpp"

using namespace torl7;
using namespace torl7::test;

namespace {

class UnitCommandsTest : public OperationFixture {};

} // namespace

TEST_F(UnitCommandsTest, eachCommandSendsItsRequestAndEndsOnceWithTheAnswer) {
    // Tuesday 8 December 2026, 14:05:09; calibration 3, clock running, summer time automatic.
    const LocalDateTime tuesday{2026, 12, 8, 14, 5, 9};
    int acknowledged = 0;
    std::vector<std::string> versions;
    const auto count = [&](const Outcome<Acknowledged>& end) { acknowledged += end ? 1 : 100; };
    ClockCorrectionCommand clock(session);
    ProtectionResetCommand reset(session);
    VersionRead version(session);
    clock.onFinished(count);
    reset.onFinished(count);
    version.onFinished(
        [&](const Outcome<std::string>& end) { versions.push_back(end ? *end.result : "<none>"); });
    struct Case {
        std::function<void()> start;
        std::uint8_t code;
        Bytes request;
        Bytes answer;
    };
    const std::vector<Case> cases{
        {[&] {
             clock.start(tuesday, ClockPanel{3, false, true});
         },
         kind::Clock,
         Bytes{0x23, 0x09, 0x05, 0x14, 0x03, 0x08, 0x12, 0x26, 0x80},
         {}},
        {[&] { reset.start(); }, kind::ProtectionReset, {}, {}},
        {[&] { version.start(); }, kind::Version, {}, encodeVersionText("V1")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.code));
        ASSERT_FALSE(session.openPort().has_value());
        line.clearWritten();
        c.start();
        const std::vector<Frame> frames = sent();
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].command(), c.code);
        EXPECT_EQ(Bytes(frames[0].payload().begin(), frames[0].payload().end()), c.request);
        answer(c.code, c.answer);
        EXPECT_FALSE(line.isOpen());
        EXPECT_FALSE(session.answerTimeoutArmed().has_value());
    }
    EXPECT_EQ(acknowledged, 2);
    EXPECT_EQ(versions, std::vector<std::string>{"V1              "});
}

// The reset may have been done and only its answer lost: one snapshot is read to tell, and the
// command still ends with the timeout, since the unit did not confirm it.
TEST_F(UnitCommandsTest, aLostAcknowledgementIsFollowedByOneSnapshotAndStillEndsUnconfirmed) {
    for (const bool snapshotAnswered : {true, false}) {
        SCOPED_TRACE(snapshotAnswered);
        ProtectionResetCommand reset(session);
        std::vector<Outcome<Acknowledged>> ends;
        reset.onFinished([&](const Outcome<Acknowledged>& end) { ends.push_back(end); });
        line.clearWritten();
        reset.start();
        answer(kind::Version, encodeVersionText("late"));
        EXPECT_TRUE(ends.empty()) << "another request's answer does not end it";
        session.answerTimedOut();
        const std::vector<Frame> frames = sent();
        ASSERT_EQ(frames.size(), 2u);
        EXPECT_EQ(frames[1].command(), kind::Diagnostics);
        EXPECT_EQ(Bytes(frames[1].payload().begin(), frames[1].payload().end()), Bytes{0});
        Snapshot tripped;
        tripped.tripFlags = 0x04;
        if (snapshotAnswered) {
            answer(kind::Diagnostics, encodeSnapshot(tripped));
        } else {
            session.answerTimedOut();
        }
        ASSERT_EQ(ends.size(), 1u);
        ASSERT_TRUE(ends[0].error);
        EXPECT_EQ(ends[0].error->kind, SessionError::Kind::Timeout);
        ASSERT_TRUE(ends[0].result);
        EXPECT_EQ(ends[0].result->snapshotAfterLoss.has_value(), snapshotAnswered);
        if (snapshotAnswered) {
            EXPECT_EQ(ends[0].result->snapshotAfterLoss->tripFlags, 0x04);
        }
    }
}
