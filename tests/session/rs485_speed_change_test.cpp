// The RS485 speed change on the fake line: the unit's answers move it step by step, the
// first answer decides whether the PC follows, and every way it ends releases the line.
#include "protocol/codecs/speed_change_codec.hpp"
#include "session/operations/rs485_speed_change.hpp"
#include "support/fake_serial_line.hpp"

#include <gtest/gtest.h>

using namespace torl7;
using namespace torl7::test;

namespace {

using Step = Rs485SpeedChangeOperation::Step;
enum class Ended { Changed, NoAnswer };

class Rs485SpeedChangeOperationTest : public ::testing::Test {
protected:
    Rs485SpeedChangeOperationTest() {
        session.setPort(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("ttyUSB0"));
        change.onFinished([this](const Outcome<SpeedChanged>& o) {
            if (o) {
                outcome = Ended::Changed;
            } else if (o.error->kind == SessionError::Kind::Timeout) {
                outcome = Ended::NoAnswer;
            } else {
                error = o.error->kind;
            }
        });
        QObject::connect(&change, &Rs485SpeedChangeOperation::pcSpeedFollowed,
                         [this](int speed) { followedTo = speed; });
    }
    void start(int unitSpeed = 7) {
        ASSERT_FALSE(session.openPort());
        line.clearWritten();
        outcome.reset();
        change.start(600, unitSpeed, 10);
    }
    // An answer from unit 601, so that an empty one is not taken for the ping's echo.
    void answer(const Bytes& payload) { line.feedBytes(buildFrame(601, kind::Ping, payload)); }

    FakeSerialLine line;
    UnitSession session{line};
    Rs485SpeedChangeOperation change{session};
    std::optional<Ended> outcome;
    std::optional<SessionError::Kind> error;
    std::optional<int> followedTo;
};

} // namespace

TEST_F(Rs485SpeedChangeOperationTest, answersMoveItOnlyWhenTheyCarryAPayloadAndTheFirstDecides) {
    struct Case {
        std::optional<Bytes> first;  // the answer to the first ping
        Step afterFirst;             // the step it leads to
        Step afterTick;              // after the tick that follows
        std::optional<Bytes> second; // the answer to that step
        Step afterSecond;
    };
    const Case cases[] = {
        {Bytes{1}, Step::Answered, Step::Following, Bytes{7}, Step::Following},
        {Bytes{2, 2}, Step::Answered, Step::Waiting, Bytes{7}, Step::Confirmed},
        {Bytes{2, 2}, Step::Answered, Step::Waiting, Bytes{}, Step::Waiting},
        {Bytes{}, Step::Pinged, Step::Idle, std::nullopt, Step::Idle},
        {std::nullopt, Step::Pinged, Step::Idle, std::nullopt, Step::Idle},
    };
    for (const Case& c : cases) {
        start();
        EXPECT_TRUE(session.lineHeld());
        if (c.first) {
            answer(*c.first);
        }
        EXPECT_EQ(change.step(), c.afterFirst);
        change.tick();
        EXPECT_EQ(change.step(), c.afterTick);
        if (c.second) {
            answer(*c.second);
        }
        EXPECT_EQ(change.step(), c.afterSecond);
        if (c.afterTick == Step::Idle) {
            EXPECT_EQ(outcome, Ended::NoAnswer);
            EXPECT_FALSE(session.lineHeld());
            EXPECT_FALSE(line.isOpen());
        } else {
            EXPECT_EQ(line.writes.size(), 2u);
            EXPECT_EQ(line.writes.back().size(), static_cast<int>(speedSetFrame(600, 7).size()));
        }
        change.tick();
        change.tick();
        change.tick();
        EXPECT_FALSE(session.lineHeld()) << "every way ends and releases the line";
    }
}

TEST_F(Rs485SpeedChangeOperationTest, followingThePcGoesToTheUnitsNewSpeedAndChecksThere) {
    start(3);
    answer(Bytes{1});
    change.tick(); // the speed-set request
    EXPECT_EQ(change.stepTimerArmed().value_or(-1), 50) << "the step wait of 115200";
    change.tick(); // follow
    EXPECT_EQ(followedTo, 3);
    EXPECT_EQ(session.lineSpeed(), 3);
    EXPECT_EQ(line.baudRate(), 2400);
    EXPECT_EQ(change.stepTimerArmed().value_or(-1), 200) << "the step wait of the new speed";
    answer(Bytes{1});
    change.tick();
    EXPECT_EQ(outcome, Ended::Changed);
    EXPECT_FALSE(line.isOpen());
}

TEST_F(Rs485SpeedChangeOperationTest, aPortThatWillNotReopenAtTheNewSpeedEndsItWithNothingSent) {
    start();
    answer(Bytes{1});
    change.tick();
    line.clearWritten();
    line.failNextOpen = true;
    change.tick();
    EXPECT_EQ(error, SessionError::Kind::PortNotOpened);
    EXPECT_FALSE(outcome);
    EXPECT_TRUE(line.writes.empty());
    EXPECT_FALSE(session.lineHeld());
    EXPECT_EQ(change.step(), Step::Idle);
}
