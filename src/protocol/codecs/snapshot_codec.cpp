#include "protocol/codecs/snapshot_codec.hpp"

#include "protocol/codecs/clock_codec.hpp"

#include "protocol/display_format.hpp"

#include <algorithm>

namespace torl7 {

namespace {

// Payload offsets of the snapshot.
enum Offset : std::size_t {
    kSeconds = 1,
    kMinutes = 2,
    kHours = 3,
    kDay = 5,
    kMonth = 6,
    kYear = 7,
    kCalibration = 8,
    kDst = 9,
    kTripFlags = 11,
    kEquipmentFlags = 12,
    kFunctionFlags = 13,
    kUa = 14,
    kUb = 16,
    kUc = 18,
    kIa = 20,
    kIb = 22,
    kIc = 24,
    kIdif = 26,
    kCos = 28,
    kUasm = 29,
    kIasm = 30,
    kOverload = 31,
    kUminDelay = 32,
    kUmaxDelay = 33,
    kUasmDelay = 34,
    kIholDelay = 35,
    kIasmDelay = 37,
    kIvtzDelay = 38,
    kIzaklDelay = 40,
    kIdifDelay = 41,
    kPower = 42,
    kEnergy = 44,
    kRunning = 49,
    kResetLock = 53,
};

constexpr std::uint8_t kFlagBit7 = 0x80;

void putWord(Bytes& out, std::size_t offset, std::uint16_t value) {
    const auto word = *encodeWord(value); // a 16-bit value always fits
    out[offset] = word[0];
    out[offset + 1] = word[1];
}

// Most significant byte first; bits above `width` bytes are not sent.
void putCounter(Bytes& out, std::size_t offset, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        out[offset + width - 1 - i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

IndicatorColor redWhen(std::uint8_t flags, int bit) {
    return (flags >> bit & 1) != 0 ? IndicatorColor::Red : IndicatorColor::Silver;
}

} // namespace

Bytes encodeSnapshot(const Snapshot& s) {
    Bytes out(kSnapshotSize, 0);
    out[0] = kSnapshotSelector;
    out[kSeconds] = static_cast<std::uint8_t>(encodeBcdField(s.clock.seconds, BcdField::Seconds) |
                                              (s.clockStopped ? kFlagBit7 : 0));
    out[kMinutes] = encodeBcdField(s.clock.minutes, BcdField::Minutes);
    out[kHours] = encodeBcdField(s.clock.hours, BcdField::Hours);
    out[kDay] = encodeBcdField(s.clock.day, BcdField::Day);
    out[kMonth] = encodeBcdField(s.clock.month, BcdField::Month);
    out[kYear] = encodeBcdField(s.clock.year, BcdField::Year);
    out[kCalibration] = encodeClockCalibration(s.clockCalibration);
    out[kDst] = s.autoDst ? kFlagBit7 : 0;
    out[kTripFlags] = s.tripFlags;
    out[kEquipmentFlags] = s.equipmentFlags;
    out[kFunctionFlags] = s.functionFlags;
    putWord(out, kUa, s.uaVolts);
    putWord(out, kUb, s.ubVolts);
    putWord(out, kUc, s.ucVolts);
    putWord(out, kIa, s.iaTenthsAmp);
    putWord(out, kIb, s.ibTenthsAmp);
    putWord(out, kIc, s.icTenthsAmp);
    putWord(out, kIdif, s.idifTenthsAmp);
    out[kCos] = s.cosByte;
    out[kUasm] = s.voltageAsymmetryPercent;
    out[kIasm] = s.currentAsymmetryPercent;
    out[kOverload] = s.overloadTenths;
    out[kUminDelay] = s.uminDelayTenthsSec;
    out[kUmaxDelay] = s.umaxDelayTenthsSec;
    out[kUasmDelay] = s.uasmDelayTenthsSec;
    putWord(out, kIholDelay, s.iholDelayTenthsSec);
    out[kIasmDelay] = s.iasmDelayTenthsSec;
    putWord(out, kIvtzDelay, s.ivtzDelayTenthsSec);
    out[kIzaklDelay] = s.izaklDelayTenthsSec;
    out[kIdifDelay] = s.idifDelayTenthsSec;
    putWord(out, kPower, s.powerTenthsKw);
    putCounter(out, kEnergy, s.energyMillionthsKwh, 5);
    putCounter(out, kRunning, s.runningSeconds, 4);
    putWord(out, kResetLock, s.resetLockSeconds);
    return out;
}

Snapshot decodeSnapshot(ByteSpan payload) {
    const PayloadReader in(payload);
    Snapshot s;
    s.clock.seconds = decodeBcd(in.byte(kSeconds), BcdField::Seconds);
    s.clock.minutes = decodeBcd(in.byte(kMinutes), BcdField::Minutes);
    s.clock.hours = decodeBcd(in.byte(kHours), BcdField::Hours);
    s.clock.day = decodeBcd(in.byte(kDay), BcdField::Day);
    s.clock.month = decodeBcd(in.byte(kMonth), BcdField::Month);
    s.clock.year = decodeBcd(in.byte(kYear), BcdField::Year);
    s.clockStopped = (in.byte(kSeconds) & kFlagBit7) != 0;
    s.clockCalibration = decodeClockCalibration(in.byte(kCalibration));
    s.autoDst = (in.byte(kDst) & kFlagBit7) != 0;
    s.tripFlags = in.byte(kTripFlags);
    s.equipmentFlags = in.byte(kEquipmentFlags);
    s.functionFlags = in.byte(kFunctionFlags);
    s.uaVolts = in.word(kUa);
    s.ubVolts = in.word(kUb);
    s.ucVolts = in.word(kUc);
    s.iaTenthsAmp = in.word(kIa);
    s.ibTenthsAmp = in.word(kIb);
    s.icTenthsAmp = in.word(kIc);
    s.idifTenthsAmp = in.word(kIdif);
    s.cosByte = in.byte(kCos);
    s.voltageAsymmetryPercent = in.byte(kUasm);
    s.currentAsymmetryPercent = in.byte(kIasm);
    s.overloadTenths = in.byte(kOverload);
    s.uminDelayTenthsSec = in.byte(kUminDelay);
    s.umaxDelayTenthsSec = in.byte(kUmaxDelay);
    s.uasmDelayTenthsSec = in.byte(kUasmDelay);
    s.iholDelayTenthsSec = in.word(kIholDelay);
    s.iasmDelayTenthsSec = in.byte(kIasmDelay);
    s.ivtzDelayTenthsSec = in.word(kIvtzDelay);
    s.izaklDelayTenthsSec = in.byte(kIzaklDelay);
    s.idifDelayTenthsSec = in.byte(kIdifDelay);
    s.powerTenthsKw = in.word(kPower);
    s.energyMillionthsKwh = in.u40(kEnergy);
    s.runningSeconds = in.u32(kRunning);
    s.resetLockSeconds = in.word(kResetLock);
    return s;
}

SnapshotTexts formatSnapshot(const Snapshot& s) {
    SnapshotTexts t;
    t.time = formatClockTime(s.clock);
    t.date = twoDigits(s.clock.day) + "." + twoDigits(s.clock.month) + ".20" +
             twoDigits(s.clock.year) + "г.";
    t.ua = std::to_string(s.uaVolts);
    t.ub = std::to_string(s.ubVolts);
    t.uc = std::to_string(s.ucVolts);
    t.ia = formatCurrentTenths(s.iaTenthsAmp);
    t.ib = formatCurrentTenths(s.ibTenthsAmp);
    t.ic = formatCurrentTenths(s.icTenthsAmp);
    t.leakageCurrent = formatTenths(s.idifTenthsAmp);
    t.cosPhi = formatCosF(s.cosByte);
    t.voltageAsymmetry = std::to_string(s.voltageAsymmetryPercent);
    t.currentAsymmetry = std::to_string(s.currentAsymmetryPercent);
    // A multiple of 1,0 or less is no overload at all.
    t.overloadMultiple = s.overloadTenths <= 10 ? "---" : formatTenths(s.overloadTenths);
    // Countdowns of a byte show their tenth; the long ones of a word show whole seconds.
    t.uminDelayLeft = formatTenths(s.uminDelayTenthsSec);
    t.umaxDelayLeft = formatTenths(s.umaxDelayTenthsSec);
    t.voltageAsymmetryDelayLeft = formatTenths(s.uasmDelayTenthsSec);
    t.idleCurrentDelayLeft = formatTenthsWhole(s.iholDelayTenthsSec);
    t.currentAsymmetryDelayLeft = formatTenths(s.iasmDelayTenthsSec);
    t.overloadDelayLeft = formatTenthsWhole(s.ivtzDelayTenthsSec);
    t.lockedRotorDelayLeft = formatTenths(s.izaklDelayTenthsSec);
    t.leakageDelayLeft = formatTenths(s.idifDelayTenthsSec);
    t.power = formatCurrentTenths(s.powerTenthsKw);
    t.energy = formatEnergyKwh(s.energyMillionthsKwh);
    t.runningTime = formatRunningTime(s.runningSeconds);
    t.resetLockLeft = std::to_string(s.resetLockSeconds);
    return t;
}

IndicatorStates indicatorStates(const Snapshot& s) {
    IndicatorStates st;
    const std::uint8_t trips = s.tripFlags;
    const std::uint8_t functions = s.functionFlags;
    st.uminTripped = redWhen(trips, 0);
    st.umaxTripped = redWhen(trips, 1);
    st.voltageAsymmetryTripped = redWhen(trips, 2);
    st.idleCurrentTripped = redWhen(trips, 3);
    st.currentAsymmetryTripped = redWhen(trips, 4);
    st.overloadTripped = redWhen(trips, 5);
    st.lockedRotorTripped = redWhen(trips, 6);
    st.leakageTripped = redWhen(trips, 7);
    st.uminActive = redWhen(functions, 0);
    st.umaxActive = redWhen(functions, 1);
    st.voltageAsymmetryActive = redWhen(functions, 2);
    st.idleCurrentActive = redWhen(functions, 3);
    st.currentAsymmetryActive = redWhen(functions, 4);
    st.overloadActive = redWhen(functions, 5);
    st.lockedRotorActive = redWhen(functions, 6);
    st.leakageActive = redWhen(functions, 7);
    st.anyActive = functions != 0 ? IndicatorColor::Red : IndicatorColor::Silver;
    st.equipment = redWhen(s.equipmentFlags, 0);
    st.insulation = (s.equipmentFlags & 0x04) != 0 ? IndicatorColor::Red : IndicatorColor::Green;
    return st;
}

} // namespace torl7
