// The simulated unit's diagnostics, clock correction and version answers, without I/O.
#include "config/clock_codec.hpp"
#include "config/version_codec.hpp"
#include "diag/snapshot_codec.hpp"
#include "diag/waveform_codec.hpp"
#include "sim/command_line.hpp"
#include "sim/measurements.hpp"
#include "sim/unit_model.hpp"

#include <gtest/gtest.h>

using namespace torl7;
using namespace torl7::sim;
using namespace std::chrono_literals;

namespace {

// 2026-12-08 14:05:09 UTC.
const WallTime kStart = std::chrono::sys_days{std::chrono::year{2026} / 12 / 8} + 14h + 5min + 9s;

class SimDiagnosticsTest : public ::testing::Test {
protected:
    explicit SimDiagnosticsTest(std::uint16_t conditions = 0)
        : model(UnitOptions{.conditions = conditions}, clock) {}

    std::optional<Bytes> answerTo(std::uint8_t command, const Bytes& payload) {
        const auto answers = model.handle(*parseFrame(buildFrame(600, command, payload)));
        if (answers.empty()) {
            return std::nullopt;
        }
        EXPECT_EQ(answers.size(), 1u);
        const auto frame = parseFrame(answers.front());
        EXPECT_TRUE(frame.has_value());
        EXPECT_EQ(frame->command(), command);
        return Bytes(frame->payload().begin(), frame->payload().end());
    }
    Snapshot snapshot() {
        const auto payload = answerTo(1, {0});
        EXPECT_TRUE(payload.has_value());
        EXPECT_EQ(payload->size(), kSnapshotSize);
        return decodeSnapshot(*payload);
    }
    Bytes correction(int calibration, ClockBlock clock, bool autoDst, int fullYear) {
        return encodeClockCorrection({calibration, clock, autoDst}, fullYear);
    }

    FixedClock clock{kStart};
    UnitModel model;
};

class SimUndervoltageTest : public SimDiagnosticsTest {
protected:
    SimUndervoltageTest() : SimDiagnosticsTest(conditionBit(Condition::Umin)) {}
};

} // namespace

TEST_F(SimDiagnosticsTest, snapshotCarriesTheClockAndAHealthyMotorThatMoves) {
    const Snapshot first = snapshot();
    EXPECT_EQ(first.clock, (ClockStamp{9, 5, 14, 8, 12, 26}));
    EXPECT_FALSE(first.clockStopped);
    EXPECT_EQ(first.tripFlags | first.functionFlags | first.equipmentFlags, 0);
    EXPECT_NEAR(first.uaVolts, 220, 5);
    EXPECT_NEAR(first.iaTenthsAmp, 123, 10);
    EXPECT_LE(first.overloadTenths, 10) << "no overload";
    EXPECT_EQ(first.cosByte & 0x80, 0x80) << "a motor draws power";

    clock.advance(3600s + 17s);
    const Snapshot later = snapshot();
    EXPECT_EQ(later.clock, (ClockStamp{26, 5, 15, 8, 12, 26}));
    EXPECT_EQ(later.runningSeconds, first.runningSeconds + 3617);
    EXPECT_GT(later.energyMillionthsKwh, first.energyMillionthsKwh + 5'000'000) << "~6,9 kWh";
    EXPECT_TRUE(later.iaTenthsAmp != first.iaTenthsAmp || later.ubVolts != first.ubVolts);
}

TEST_F(SimDiagnosticsTest, waveformBlocksEchoTheirSelectorAndShiftEachPhase) {
    std::vector<WaveformBlock> blocks;
    for (std::uint8_t selector : {1, 2, 19}) {
        const auto payload = answerTo(1, {selector});
        ASSERT_TRUE(payload.has_value());
        ASSERT_EQ(payload->size(), kWaveformBlockSize);
        blocks.push_back(decodeWaveformBlock(*payload));
        EXPECT_EQ(blocks.back().selector, selector);
        const auto [low, high] =
            std::minmax_element(blocks.back().voltage.begin(), blocks.back().voltage.end());
        EXPECT_GT(*high - *low, 150) << "a full swing of the voltage";
    }
    EXPECT_NE(blocks[0].voltage, blocks[1].voltage);
    EXPECT_NE(blocks[1].voltage, blocks[2].voltage);
    EXPECT_NE(blocks[0].voltage, blocks[0].current) << "the current lags";
    EXPECT_FALSE(answerTo(1, {5}).has_value());
}

TEST_F(SimDiagnosticsTest, clockCorrectionSetsTheClockWhichThenRunsOnOrStands) {
    ClockBlock set{
        .seconds = 5, .minutes = 4, .hours = 3, .weekday = 7, .day = 2, .month = 1, .year = 27};
    const auto ack = answerTo(4, correction(-7, set, true, 2027));
    ASSERT_TRUE(ack.has_value());
    EXPECT_TRUE(ack->empty());
    Snapshot s = snapshot();
    EXPECT_EQ(s.clock, (ClockStamp{5, 4, 3, 2, 1, 27}));
    EXPECT_EQ(s.clockCalibration, -7);
    EXPECT_TRUE(s.autoDst);
    clock.advance(10s);
    EXPECT_EQ(snapshot().clock.seconds, 15);

    set.stopped = true;
    ASSERT_TRUE(answerTo(4, correction(2, set, false, 2027)).has_value());
    clock.advance(10s);
    s = snapshot();
    EXPECT_TRUE(s.clockStopped);
    EXPECT_EQ(s.clock.seconds, 5) << "a stopped clock stands";

    set.day = 31;
    set.month = 2;
    EXPECT_FALSE(answerTo(4, correction(0, set, false, 2027)).has_value()) << "no 31 February";
    EXPECT_FALSE(answerTo(4, Bytes{0x20, 0x00}).has_value()) << "an incomplete block";
}

TEST_F(SimDiagnosticsTest, versionIsSixteenBlankPaddedCharacters) {
    const auto payload = answerTo(15, {});
    ASSERT_TRUE(payload.has_value());
    EXPECT_EQ(payload->size(), 16u);
    EXPECT_EQ(decodeVersionText(*payload), "ТОРЛ-7 v3.12    ");
}

TEST_F(SimUndervoltageTest, protectionPicksUpCountsDownTripsAndStartsAgainAfterAReset) {
    Snapshot s = snapshot();
    EXPECT_LT(s.uaVolts, 170);
    EXPECT_EQ(s.functionFlags, 0x01);
    EXPECT_EQ(s.tripFlags, 0);
    EXPECT_EQ(s.uminDelayTenthsSec, 50);

    clock.advance(2s);
    EXPECT_EQ(snapshot().uminDelayTenthsSec, 30);

    clock.advance(4s);
    s = snapshot();
    EXPECT_EQ(s.tripFlags, 0x01);
    EXPECT_EQ(s.uminDelayTenthsSec, 0);
    EXPECT_EQ(s.resetLockSeconds, 29);

    ASSERT_TRUE(answerTo(5, {}).has_value());
    s = snapshot();
    EXPECT_EQ(s.tripFlags, 0) << "the condition is still there: it picks up again";
    EXPECT_EQ(s.uminDelayTenthsSec, 50);
}

TEST(SimCommandLine, tripTakesConditionsByNameAndRefusesOthers) {
    auto result = parseCommandLine({"--trip", "umin,iso", "--trip=ivtz"});
    ASSERT_TRUE(std::holds_alternative<CommandLine>(result));
    EXPECT_EQ(std::get<CommandLine>(result).options.unit.conditions,
              conditionBit(Condition::Umin) | conditionBit(Condition::Insulation) |
                  conditionBit(Condition::Ivtz));
    result = parseCommandLine({"--trip", "umin,fire"});
    ASSERT_TRUE(std::holds_alternative<CommandLineError>(result));
    EXPECT_NE(std::get<CommandLineError>(result).message.find("fire"), std::string::npos);
}
