#include "sim/measurements.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace torl7::sim {

namespace {

using std::chrono::duration;
using std::chrono::duration_cast;

constexpr std::array<std::string_view, kConditionCount> kNames = {
    "umin", "umax", "uasm", "ihol", "iasm", "ivtz", "zakl", "idif", "dv", "iso"};

// Trip delays in tenths of a second: short enough to watch a trip happen.
constexpr std::array<int, 8> kDelayTenths = {50, 30, 80, 100, 60, 600, 20, 10};

constexpr double kRatedCurrentAmp = 15.0;
constexpr double kNominalPowerKw = 6.9;
constexpr std::uint64_t kEnergyAtPowerOn = 123456789000; // millionths of a kWh
constexpr std::uint32_t kRunningAtPowerOn = 1234 * 3600; // seconds
constexpr int kResetLockSeconds = 30;

bool has(const UnitState& state, Condition condition) {
    return (state.conditions & conditionBit(condition)) != 0;
}

double secondsOn(const UnitState& state, WallTime pcNow) {
    return std::max(0.0, duration<double>(pcNow - state.poweredOn).count());
}

struct Phases {
    std::array<double, 3> volts;
    std::array<double, 3> amps;
    double cosPhi;
    double leakageAmp;
};

// The supply and the motor at `t` seconds after power-on, under the present conditions.
Phases phasesAt(const UnitState& state, double t) {
    Phases p{};
    for (int k = 0; k < 3; ++k) {
        p.volts[k] = 220.0 + 3.0 * std::sin(t / 7.0 + k * 2.1);
        p.amps[k] = 12.3 + 0.6 * std::sin(t / 5.0 + k * 1.7);
    }
    p.cosPhi = 0.85 + 0.03 * std::sin(t / 13.0);
    p.leakageAmp = 0.1 + 0.05 * std::sin(t / 3.0);
    if (has(state, Condition::Umin)) {
        p.volts[0] -= 70.0;
    }
    if (has(state, Condition::Umax)) {
        for (double& u : p.volts) {
            u += 45.0;
        }
    }
    if (has(state, Condition::Uasm)) {
        p.volts[2] -= 40.0;
    }
    if (has(state, Condition::Ihol)) {
        for (double& i : p.amps) {
            i = 0.8 + 0.05 * std::sin(t);
        }
        p.cosPhi = 0.2;
    }
    if (has(state, Condition::Iasm)) {
        p.amps[2] *= 0.4;
    }
    if (has(state, Condition::Ivtz)) {
        for (double& i : p.amps) {
            i *= 1.5;
        }
    }
    if (has(state, Condition::Zakl)) {
        for (double& i : p.amps) {
            i *= 5.0;
        }
        p.cosPhi = 0.4;
    }
    if (has(state, Condition::Idif)) {
        p.leakageAmp = 1.5;
    }
    return p;
}

int asymmetryPercent(const std::array<double, 3>& values) {
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    const double mean = (values[0] + values[1] + values[2]) / 3.0;
    return mean <= 0.0 ? 0 : static_cast<int>(std::lround((*high - *low) / mean * 100.0));
}

template <typename T> T clampTo(double value) {
    const double low = 0.0;
    const double high = static_cast<double>(std::numeric_limits<T>::max());
    return static_cast<T>(std::clamp(std::round(value), low, high));
}

} // namespace

std::string_view conditionName(Condition condition) {
    return kNames[static_cast<std::size_t>(condition)];
}

std::optional<Condition> conditionByName(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name) {
            return static_cast<Condition>(i);
        }
    }
    return std::nullopt;
}

std::vector<Condition> allConditions() {
    std::vector<Condition> all;
    for (int i = 0; i < kConditionCount; ++i) {
        all.push_back(static_cast<Condition>(i));
    }
    return all;
}

int tripDelayTenths(Condition condition) {
    const auto index = static_cast<std::size_t>(condition);
    return index < kDelayTenths.size() ? kDelayTenths[index] : 0;
}

std::chrono::sys_seconds unitClock(const UnitState& state, WallTime pcNow) {
    if (state.clockStoppedAt) {
        return *state.clockStoppedAt;
    }
    return std::chrono::floor<std::chrono::seconds>(pcNow) + state.clockOffset;
}

Snapshot snapshotAt(const UnitState& state, WallTime pcNow) {
    Snapshot s;
    const auto clock = unitClock(state, pcNow);
    const auto day = std::chrono::floor<std::chrono::days>(clock);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss time{clock - day};
    s.clock.seconds = static_cast<int>(time.seconds().count());
    s.clock.minutes = static_cast<int>(time.minutes().count());
    s.clock.hours = static_cast<int>(time.hours().count());
    s.clock.day = static_cast<int>(static_cast<unsigned>(date.day()));
    s.clock.month = static_cast<int>(static_cast<unsigned>(date.month()));
    s.clock.year = static_cast<int>(date.year()) % 100;
    s.clockStopped = state.clockStoppedAt.has_value();
    s.clockCalibration = state.clockCalibration;
    s.autoDst = state.autoDst;

    const double t = secondsOn(state, pcNow);
    const Phases p = phasesAt(state, t);
    s.uaVolts = clampTo<std::uint16_t>(p.volts[0]);
    s.ubVolts = clampTo<std::uint16_t>(p.volts[1]);
    s.ucVolts = clampTo<std::uint16_t>(p.volts[2]);
    s.iaTenthsAmp = clampTo<std::uint16_t>(p.amps[0] * 10.0);
    s.ibTenthsAmp = clampTo<std::uint16_t>(p.amps[1] * 10.0);
    s.icTenthsAmp = clampTo<std::uint16_t>(p.amps[2] * 10.0);
    s.idifTenthsAmp = clampTo<std::uint16_t>(p.leakageAmp * 10.0);
    const int hundredths = static_cast<int>(std::lround(std::abs(p.cosPhi) * 100.0));
    s.cosByte = static_cast<std::uint8_t>(std::min(hundredths, 100) | (p.cosPhi >= 0 ? 0x80 : 0));
    s.voltageAsymmetryPercent = clampTo<std::uint8_t>(asymmetryPercent(p.volts));
    s.currentAsymmetryPercent = clampTo<std::uint8_t>(asymmetryPercent(p.amps));
    const double highest = *std::max_element(p.amps.begin(), p.amps.end());
    s.overloadTenths = clampTo<std::uint8_t>(highest / kRatedCurrentAmp * 10.0);
    double watts = 0.0;
    for (int k = 0; k < 3; ++k) {
        watts += p.volts[k] * p.amps[k] * p.cosPhi;
    }
    s.powerTenthsKw = clampTo<std::uint16_t>(watts / 100.0);
    s.energyMillionthsKwh =
        kEnergyAtPowerOn + static_cast<std::uint64_t>(kNominalPowerKw * t / 3600.0 * 1e6);
    s.runningSeconds = kRunningAtPowerOn + static_cast<std::uint32_t>(t);

    // Each protection whose condition is present picks up at once, counts its delay down,
    // and trips; the reset lock runs from the first trip.
    const auto elapsedTenths =
        static_cast<std::int64_t>(duration<double>(pcNow - state.conditionsSince).count() * 10.0);
    std::array<int, 8> remaining{};
    std::int64_t lockSeconds = 0;
    for (int bit = 0; bit < 8; ++bit) {
        const auto condition = static_cast<Condition>(bit);
        if (!has(state, condition)) {
            continue;
        }
        const int delay = tripDelayTenths(condition);
        const auto mask = static_cast<std::uint8_t>(1u << bit);
        s.functionFlags |= mask;
        if (elapsedTenths < delay) {
            remaining[bit] = static_cast<int>(delay - std::max<std::int64_t>(elapsedTenths, 0));
        } else {
            s.tripFlags |= mask;
            lockSeconds = std::max(lockSeconds, kResetLockSeconds - (elapsedTenths - delay) / 10);
        }
    }
    s.uminDelayTenthsSec = clampTo<std::uint8_t>(remaining[0]);
    s.umaxDelayTenthsSec = clampTo<std::uint8_t>(remaining[1]);
    s.uasmDelayTenthsSec = clampTo<std::uint8_t>(remaining[2]);
    s.iholDelayTenthsSec = clampTo<std::uint16_t>(remaining[3]);
    s.iasmDelayTenthsSec = clampTo<std::uint8_t>(remaining[4]);
    s.ivtzDelayTenthsSec = clampTo<std::uint16_t>(remaining[5]);
    s.izaklDelayTenthsSec = clampTo<std::uint8_t>(remaining[6]);
    s.idifDelayTenthsSec = clampTo<std::uint8_t>(remaining[7]);
    s.resetLockSeconds = clampTo<std::uint16_t>(static_cast<double>(lockSeconds));
    if (has(state, Condition::Equipment)) {
        s.equipmentFlags |= 0x01;
    }
    if (has(state, Condition::Insulation)) {
        s.equipmentFlags |= 0x04;
    }
    return s;
}

WaveformBlock waveformAt(const UnitState& state, WallTime pcNow, int phase) {
    const double t = secondsOn(state, pcNow);
    const Phases p = phasesAt(state, t);
    const auto k = static_cast<std::size_t>(std::clamp(phase, 1, 3) - 1);
    const double twoPi = 2.0 * std::numbers::pi;
    // The sampling window slides slowly along the wave, so the picture moves.
    const double start = twoPi * std::fmod(t * 0.25, 1.0) - static_cast<double>(k) * twoPi / 3.0;
    const double lag = std::acos(std::clamp(p.cosPhi, -1.0, 1.0));
    const double voltAmplitude = std::min(120.0, 100.0 * p.volts[k] / 240.0);
    const double ampAmplitude = std::min(120.0, 70.0 * p.amps[k] / kRatedCurrentAmp);
    WaveformBlock block;
    block.selector = static_cast<std::uint8_t>(phase);
    for (std::size_t i = 0; i < kWaveformSamples; ++i) {
        // Two periods in the hundred samples.
        const double angle = start + twoPi * 2.0 * static_cast<double>(i) / kWaveformSamples;
        block.voltage[i] = clampTo<std::uint8_t>(128.0 + voltAmplitude * std::sin(angle));
        block.current[i] = clampTo<std::uint8_t>(128.0 + ampAmplitude * std::sin(angle - lag));
    }
    return block;
}

} // namespace torl7::sim
