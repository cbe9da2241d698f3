// The believable unit: snapshot, waveforms, provoked trips, counters and accounting, at fixed
// PC times.
#include "sim/unit_model.hpp"

#include "protocol/codecs/accounting_codec.hpp"
#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/codecs/waveform_codec.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace torl7;
using namespace torl7::sim;
using std::chrono::hours;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

const WallTime kStart = std::chrono::system_clock::from_time_t(1'780'000'000);

class DiagnosticsTest : public ::testing::Test {
protected:
    void start(UnitOptions options = {}) { model = std::make_unique<UnitModel>(options, clock); }

    Frame ask(std::uint8_t command, Bytes payload = {}) {
        const auto answers = model->handle(*parseFrame(buildFrame(600, command, payload)));
        EXPECT_EQ(answers.size(), 1u) << "command " << int(command);
        return answers.empty() ? Frame(buildFrame(600, 255, {})) : *parseFrame(answers.front());
    }
    Snapshot snapshot() { return decodeSnapshot(ask(1, {0}).payload()); }
    WaveformBlock waveform(std::uint8_t selector) {
        return decodeWaveformBlock(ask(1, {selector}).payload());
    }

    FixedClock clock{kStart};
    std::unique_ptr<UnitModel> model;
};

// Phase of the fundamental over the 100 samples, in degrees.
double phaseDegrees(const std::array<std::uint8_t, kWaveformSamples>& samples) {
    double re = 0.0;
    double im = 0.0;
    for (std::size_t i = 0; i < kWaveformSamples; ++i) {
        const double angle = 2.0 * std::numbers::pi * static_cast<double>(i) / kWaveformSamples;
        re += samples[i] * std::sin(angle);
        im += samples[i] * std::cos(angle);
    }
    return std::atan2(im, re) * 180.0 / std::numbers::pi;
}

// How far `later` lags `earlier`, 0..360 degrees.
double lagDegrees(const std::array<std::uint8_t, kWaveformSamples>& earlier,
                  const std::array<std::uint8_t, kWaveformSamples>& later) {
    return std::fmod(phaseDegrees(earlier) - phaseDegrees(later) + 720.0, 360.0);
}

TEST_F(DiagnosticsTest, snapshot_showsTheClockAndAMotorRunningNearItsInputs) {
    start();
    clock.advance(milliseconds{400});
    const Snapshot s = snapshot();
    const ClockBlock pc = clockRegisters(clock.now(), false);
    EXPECT_EQ(s.clock, (ClockStamp{pc.seconds, pc.minutes, pc.hours, pc.day, pc.month, pc.year}));
    EXPECT_FALSE(s.clockStopped);
    for (auto volts : {s.uaVolts, s.ubVolts, s.ucVolts}) {
        EXPECT_NEAR(volts, 230, 2);
    }
    for (auto tenths : {s.iaTenthsAmp, s.ibTenthsAmp, s.icTenthsAmp}) {
        EXPECT_NEAR(tenths, 120, 2);
    }
    EXPECT_NEAR(s.cosByte, 0x80 | 85, 1);
    EXPECT_NEAR(s.powerTenthsKw, 70, 2); // 3 x 230 V x 12 A x 0,85
    EXPECT_LE(s.overloadTenths, 10);     // 12 A of the rated 15 A: shown as "---"
    EXPECT_EQ(s.equipmentFlags, 0x01);
    EXPECT_EQ(s.tripFlags, 0);
    EXPECT_EQ(s.functionFlags, 0);
    EXPECT_LE(s.voltageAsymmetryPercent, 2);
}

TEST_F(DiagnosticsTest, runningTimeAndEnergy_countWhileTheMotorRuns) {
    start();
    const Snapshot before = snapshot();
    clock.advance(hours{2});
    const Snapshot after = snapshot();
    EXPECT_EQ(after.runningSeconds - before.runningSeconds, 7200u);
    // 7,038 kW for two hours.
    EXPECT_NEAR(static_cast<double>(after.energyMillionthsKwh - before.energyMillionthsKwh) / 1e6,
                14.076, 0.01);
}

TEST_F(DiagnosticsTest, provokedTrip_picksUpCountsDownTripsStopsTheMotorAndIsRecorded) {
    UnitOptions options;
    options.trips = {{Protection::Umin, seconds{5}}};
    start(options);
    const auto tripsBefore = decodeAccounting(ask(7).payload()).trips;

    clock.advance(seconds{4});
    EXPECT_EQ(snapshot().functionFlags, 0);

    clock.advance(seconds{3}); // picked up 2 s ago; the delay is 10,0 s
    Snapshot s = snapshot();
    EXPECT_EQ(s.functionFlags, 0x01);
    EXPECT_EQ(s.tripFlags, 0);
    EXPECT_EQ(s.uminDelayTenthsSec, 80);
    EXPECT_NEAR(s.uaVolts, 136, 2); // below the 170 V threshold

    clock.advance(seconds{9});
    s = snapshot();
    EXPECT_EQ(s.tripFlags, 0x01);
    EXPECT_EQ(s.functionFlags, 0x01);
    EXPECT_EQ(s.uminDelayTenthsSec, 0);
    EXPECT_EQ(s.equipmentFlags, 0x00);
    EXPECT_EQ(s.iaTenthsAmp, 0);
    EXPECT_EQ(decodeAccounting(ask(7).payload()).trips, tripsBefore + 1);

    // Recorded in the first erased slot, stamped with the moment of the trip.
    const EventBlock block = decodeEventBlock(ask(6, {1}).payload());
    const EventRecord& event = block.records[8];
    EXPECT_EQ(event.protection, 0x01);
    const ClockBlock tripTime = clockRegisters(kStart + seconds{15}, false);
    EXPECT_EQ(event.stamp, (ClockStamp{tripTime.seconds, tripTime.minutes, tripTime.hours,
                                       tripTime.day, tripTime.month, tripTime.year}));
    EXPECT_NEAR(event.uaVolts, 136, 1);

    EXPECT_EQ(ask(5).length(), 0);
    s = snapshot();
    EXPECT_EQ(s.tripFlags | s.functionFlags, 0);
    EXPECT_EQ(s.equipmentFlags, 0x01);
    EXPECT_NEAR(s.uaVolts, 230, 2);
}

TEST_F(DiagnosticsTest, resetDuringTheResetLock_leavesTheTripInPlace) {
    UnitOptions options;
    options.trips = {{Protection::Idif, seconds{0}}};
    start(options);
    ConfigRecord record;
    record.resetLockSeconds = 30;
    ask(3, configWritePayload(record));
    clock.advance(seconds{1}); // leakage delay 0,5 s: tripped
    EXPECT_EQ(snapshot().tripFlags, 0x80);
    clock.advance(seconds{10});
    EXPECT_EQ(snapshot().resetLockSeconds, 20);
    ask(5);
    EXPECT_EQ(snapshot().tripFlags, 0x80);
    clock.advance(seconds{21});
    ask(5);
    EXPECT_EQ(snapshot().tripFlags, 0);
}

TEST_F(DiagnosticsTest, overloadDelay_followsTheTimeCurrentCharacteristic) {
    UnitOptions options;
    options.trips = {{Protection::Ivtz, seconds{0}}};
    start(options);
    clock.advance(milliseconds{100});
    const Snapshot s = snapshot();
    // 1,5 times the rated 15 A; T = 300 s gives 300 / (10 x 0,5) = 60 s.
    EXPECT_NEAR(s.overloadTenths, 15, 1);
    EXPECT_EQ(s.ivtzDelayTenthsSec, 599);
    clock.advance(seconds{60});
    EXPECT_EQ(snapshot().tripFlags, 0x20);
}

TEST_F(DiagnosticsTest, waveforms_areSinesWithPhaseShiftsAndLaggingCurrents) {
    start();
    const WaveformBlock a = waveform(1);
    const WaveformBlock b = waveform(2);
    const WaveformBlock c = waveform(19);
    EXPECT_EQ(c.selector, 19);
    EXPECT_NEAR(*std::ranges::max_element(a.voltage), 228, 2);
    EXPECT_NEAR(*std::ranges::min_element(a.voltage), 28, 2);
    EXPECT_NEAR(lagDegrees(a.voltage, b.voltage), 120.0, 2.0);
    EXPECT_NEAR(lagDegrees(a.voltage, c.voltage), 240.0, 2.0);
    // cos f 0,85 is 31,8 degrees.
    EXPECT_NEAR(lagDegrees(a.voltage, a.current), 31.8, 2.0);
    EXPECT_NEAR(lagDegrees(c.voltage, c.current), 31.8, 2.0);
}

TEST_F(DiagnosticsTest, unknownSelectorsAndBlocks_areNotAnswered) {
    start();
    for (std::uint8_t selector : {5, 16, 20, 255}) {
        EXPECT_TRUE(model->handle(*parseFrame(buildFrame(600, 1, Bytes{selector}))).empty());
    }
    EXPECT_TRUE(model->handle(*parseFrame(buildFrame(600, 6, Bytes{10}))).empty());
}

TEST_F(DiagnosticsTest, accountingReset_startsCountingFromTheUnitsClock) {
    start();
    const AccountingRecord before = decodeAccounting(ask(7).payload());
    EXPECT_GT(before.runningSeconds, 0u);
    const AccountingRecord reset = decodeAccounting(ask(8).payload());
    const ClockBlock now = clockRegisters(clock.now(), false);
    EXPECT_EQ(reset.start,
              (ClockStamp{now.seconds, now.minutes, now.hours, now.day, now.month, now.year}));
    EXPECT_EQ(reset.runningSeconds, 0u);
    EXPECT_EQ(reset.starts, 0);
    EXPECT_EQ(reset.trips, 0);
    EXPECT_EQ(reset.energyMillionthsKwh, 0u);
    clock.advance(seconds{90});
    EXPECT_EQ(decodeAccounting(ask(7).payload()).runningSeconds, 90u);
}

} // namespace
