#include "sim/unit_model.hpp"

#include <gtest/gtest.h>

using namespace torl7;
using namespace torl7::sim;

namespace {

class UnitModelTest : public ::testing::Test {
protected:
    Frame request(std::uint8_t command, Bytes payload = {}, std::uint16_t unit = 600) {
        return *parseFrame(buildFrame(unit, command, payload));
    }

    // The single answer frame, checked for a good sum and the unit's own header.
    Frame onlyAnswer(const Frame& req) {
        const auto answers = model.handle(req);
        EXPECT_EQ(answers.size(), 1u);
        if (answers.empty()) {
            return Frame(Bytes(kFrameOverhead, 0));
        }
        auto frame = parseFrame(answers.front());
        EXPECT_TRUE(frame.has_value());
        EXPECT_EQ(frame->factoryNumber(), model.state().factoryNumber);
        EXPECT_EQ(frame->command(), req.command());
        return *frame;
    }

    FixedClock clock{WallTime{}};
    UnitModel model{UnitOptions{}, clock};
};

TEST_F(UnitModelTest, ping_isAnsweredWithLengthTwo_soTheToolKeepsItsSpeed) {
    EXPECT_EQ(onlyAnswer(request(0)).length(), 2);
}

TEST_F(UnitModelTest, ping_withFollowOption_isAnsweredWithLengthOne) {
    model.state().askToFollowSpeedChange = true;
    EXPECT_EQ(onlyAnswer(request(0)).length(), 1);
}

TEST_F(UnitModelTest, requestsForAnotherUnitOrUnknownCommands_areNotAnswered) {
    EXPECT_TRUE(model.handle(request(0, {}, 601)).empty());
    EXPECT_TRUE(model.handle(request(5, {}, 599)).empty());
    EXPECT_TRUE(model.handle(request(9)).empty());
    EXPECT_TRUE(model.handle(request(200)).empty());
}

TEST_F(UnitModelTest, speedSet_withFollow_movesTheLineAndTheBusSpeedAfterANonEmptyAnswer) {
    model.state().askToFollowSpeedChange = true;
    EXPECT_GT(onlyAnswer(request(0, {7})).length(), 0);
    EXPECT_EQ(model.state().lineSpeedBaud, 19200);
    EXPECT_EQ(model.state().rs485SpeedIndex, 7);
}

TEST_F(UnitModelTest, speedSet_withoutFollow_changesTheBusSpeedOnly) {
    EXPECT_GT(onlyAnswer(request(0, {0})).length(), 0);
    EXPECT_EQ(model.state().lineSpeedBaud, 115200);
    EXPECT_EQ(model.state().rs485SpeedIndex, 0);
}

TEST_F(UnitModelTest, speedSet_withAnIndexThatNamesNoSpeed_isRefusedSilently) {
    model.state().askToFollowSpeedChange = true;
    EXPECT_TRUE(model.handle(request(0, {11})).empty());
    EXPECT_TRUE(model.handle(request(0, {0xFF})).empty());
    EXPECT_EQ(model.state().lineSpeedBaud, 115200);
    EXPECT_EQ(model.state().rs485SpeedIndex, kDefaultRs485SpeedIndex);
}

TEST_F(UnitModelTest, protectionReset_isAcknowledged) {
    EXPECT_EQ(onlyAnswer(request(5)).length(), 0);
}

TEST_F(UnitModelTest, anotherFactoryNumber_isServedWhenConfigured) {
    UnitOptions options;
    options.factoryNumber = 65535;
    UnitModel other(options, clock);
    EXPECT_TRUE(other.handle(request(0)).empty());
    EXPECT_EQ(other.handle(request(0, {}, 65535)).size(), 1u);
}

} // namespace
