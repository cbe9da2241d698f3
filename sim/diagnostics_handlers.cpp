// Diagnostics: the status snapshot and the waveform blocks, made from the motor's
// measurements at the moment of the request.
#include "sim/handlers.hpp"

#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/codecs/waveform_codec.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace torl7::sim {

namespace {

constexpr std::uint8_t kLastBlockFlag = 16;

template <class T> T clamped(double value) {
    return static_cast<T>(
        std::clamp(std::round(value), 0.0, double{std::numeric_limits<T>::max()}));
}

// (largest - smallest) / mean, in percent.
std::uint8_t asymmetryPercent(const std::array<double, 3>& values) {
    const double mean = (values[0] + values[1] + values[2]) / 3.0;
    if (mean <= 0.0) {
        return 0;
    }
    const auto [low, high] = std::ranges::minmax(values);
    return clamped<std::uint8_t>((high - low) / mean * 100.0);
}

double ratedAmps(const ConfigRecord& settings) {
    return settings.inomTenths > 0 ? settings.inomTenths / 10.0 : 15.0;
}

Bytes snapshot(HandlerContext& unit) {
    UnitState& state = unit.state;
    Plant& plant = state.plant;
    const ConfigRecord& settings = state.record;
    const ClockBlock clock =
        clockRegisters(unitTime(state.clock, unit.clock.now()), state.clock.stopped);
    const Measurements m = plant.measure(settings, state.inputs);

    Snapshot s;
    s.clock =
        ClockStamp{clock.seconds, clock.minutes, clock.hours, clock.day, clock.month, clock.year};
    s.clockStopped = state.clock.stopped;
    s.clockCalibration = state.clock.calibration;
    s.autoDst = state.clock.autoDst;
    s.tripFlags = plant.tripFlags();
    s.equipmentFlags = plant.motorRunning() ? 0x01 : 0x00; // insulation sound: bit 2 clear
    s.functionFlags = plant.functionFlags();
    s.uaVolts = wholeVolts(m.volts[0]);
    s.ubVolts = wholeVolts(m.volts[1]);
    s.ucVolts = wholeVolts(m.volts[2]);
    s.iaTenthsAmp = tenthsAmp(m.amps[0]);
    s.ibTenthsAmp = tenthsAmp(m.amps[1]);
    s.icTenthsAmp = tenthsAmp(m.amps[2]);
    s.idifTenthsAmp = tenthsAmp(m.leakageAmps);
    s.cosByte = cosFByte(m.cosF);
    s.voltageAsymmetryPercent = asymmetryPercent(m.volts);
    s.currentAsymmetryPercent = asymmetryPercent(m.amps);
    s.overloadTenths = clamped<std::uint8_t>(10.0 * std::ranges::max(m.amps) / ratedAmps(settings));
    const auto remaining = [&](Protection p) { return plant.remainingDelayTenths(p, settings); };
    const auto byteDelay = [&](Protection p) {
        return static_cast<std::uint8_t>(std::min<std::uint32_t>(remaining(p), 255));
    };
    const auto wordDelay = [&](Protection p) {
        return static_cast<std::uint16_t>(std::min<std::uint32_t>(remaining(p), 65535));
    };
    s.uminDelayTenthsSec = byteDelay(Protection::Umin);
    s.umaxDelayTenthsSec = byteDelay(Protection::Umax);
    s.uasmDelayTenthsSec = byteDelay(Protection::Uasm);
    s.iholDelayTenthsSec = wordDelay(Protection::Ihol);
    s.iasmDelayTenthsSec = byteDelay(Protection::Iasm);
    s.ivtzDelayTenthsSec = wordDelay(Protection::Ivtz);
    s.izaklDelayTenthsSec = byteDelay(Protection::Zakl);
    s.idifDelayTenthsSec = byteDelay(Protection::Idif);
    double kw = 0.0;
    for (std::size_t i = 0; i < 3; ++i) {
        kw += m.volts[i] * m.amps[i] * m.cosF / 1000.0;
    }
    s.powerTenthsKw = clamped<std::uint16_t>(kw * 10.0);
    s.energyMillionthsKwh = plant.lifetimeEnergyMillionthsKwh();
    s.runningSeconds = plant.lifetimeRunningSeconds();
    s.resetLockSeconds = plant.resetLockSeconds(settings);
    return encodeSnapshot(s);
}

// The waves of the plant's steady state (the noise stays in the snapshot's readings), shaped
// as the options say: by default one period in 100 samples around the middle of 0..255, phase
// B lagging A by 120 degrees and C by 240, each current lagging its voltage by the angle of
// cos f.
Bytes waveform(HandlerContext& unit, std::uint8_t selector) {
    UnitState& state = unit.state;
    const Measurements m = state.plant.steadyMeasurements(state.record, state.inputs);
    const std::size_t phase = (selector & 3u) - 1u;
    return encodeWaveformBlock(waveformBlock(state.wave, selector, m.volts[phase], m.amps[phase],
                                             m.cosF, ratedAmps(state.record)));
}

} // namespace

std::uint16_t wholeVolts(double volts) {
    return clamped<std::uint16_t>(volts);
}

std::uint16_t tenthsAmp(double amps) {
    return clamped<std::uint16_t>(amps * 10.0);
}

std::uint8_t cosFByte(double cosF) {
    const int hundredths = std::min(100, static_cast<int>(std::lround(std::fabs(cosF) * 100.0)));
    return static_cast<std::uint8_t>(hundredths | (cosF >= 0.0 ? 0x80 : 0x00));
}

EventRecord eventRecord(const ClockBlock& at, Protection protection, const Measurements& m) {
    EventRecord record;
    record.stamp = ClockStamp{at.seconds, at.minutes, at.hours, at.day, at.month, at.year};
    record.state = 0x81; // the unit and the motor were on when the protection acted
    record.protection = static_cast<std::uint8_t>(1u << static_cast<unsigned>(protection));
    record.uaVolts = wholeVolts(m.volts[0]);
    record.ubVolts = wholeVolts(m.volts[1]);
    record.ucVolts = wholeVolts(m.volts[2]);
    record.iaTenthsAmp = tenthsAmp(m.amps[0]);
    record.ibTenthsAmp = tenthsAmp(m.amps[1]);
    record.icTenthsAmp = tenthsAmp(m.amps[2]);
    record.idifTenthsAmp = tenthsAmp(m.leakageAmps);
    record.cosByte = cosFByte(m.cosF);
    return record;
}

Answer handleDiagnostics(HandlerContext& unit, const PayloadReader& request) {
    const std::uint8_t selector = request.byte(0);
    if (selector == kSnapshotSelector) {
        return snapshot(unit);
    }
    const std::uint8_t phase = selector & static_cast<std::uint8_t>(~kLastBlockFlag);
    if (phase >= 1 && phase <= 3) {
        return waveform(unit, selector);
    }
    return std::nullopt; // a selector the unit does not know
}

} // namespace torl7::sim
