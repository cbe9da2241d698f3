// The status snapshot: the unit's answer to diagnostics selector 0 with its clock,
// measurements, protection flags, trip countdowns, energy and running time. Decoding, encoding
// (for the simulated unit), the texts of the "Диагностика" page and the indicator colours.
// Pure: no Qt.
#pragma once

#include "protocol/clock_stamp.hpp"

#include <cstdint>
#include <string>

namespace torl7 {

inline constexpr std::uint8_t kSnapshotSelector = 0;
inline constexpr std::size_t kSnapshotSize = 55;

// The raw values of the payload, as the unit sends them. All zero by default, which is also
// what an empty answer decodes to.
struct Snapshot {
    ClockStamp clock;                // seconds, minutes, hours, day, month, year
    bool clockStopped = false;       // bit 7 of the seconds
    int clockCalibration = 0;        // -31..31: bits 4..0 magnitude, bit 5 set for positive
    bool autoDst = false;            // bit 7 of byte 9: summer/winter time changeover
    std::uint8_t tripFlags = 0;      // byte 11: one bit per protection that tripped
    std::uint8_t equipmentFlags = 0; // byte 12: bit 0 equipment, bit 2 insulation
    std::uint8_t functionFlags = 0;  // byte 13: one bit per protection function active
    std::uint16_t uaVolts = 0;
    std::uint16_t ubVolts = 0;
    std::uint16_t ucVolts = 0;
    std::uint16_t iaTenthsAmp = 0;
    std::uint16_t ibTenthsAmp = 0;
    std::uint16_t icTenthsAmp = 0;
    std::uint16_t idifTenthsAmp = 0; // leakage current
    std::uint8_t cosByte = 0;        // bits 6..0 hundredths, bit 7 set for positive
    std::uint8_t voltageAsymmetryPercent = 0;
    std::uint8_t currentAsymmetryPercent = 0;
    std::uint8_t overloadTenths = 0; // overload multiple
    // Remaining trip delays, in tenths of a second.
    std::uint8_t uminDelayTenthsSec = 0;
    std::uint8_t umaxDelayTenthsSec = 0;
    std::uint8_t uasmDelayTenthsSec = 0;
    std::uint16_t iholDelayTenthsSec = 0; // no-load
    std::uint8_t iasmDelayTenthsSec = 0;
    std::uint16_t ivtzDelayTenthsSec = 0; // overload
    std::uint8_t izaklDelayTenthsSec = 0; // jam
    std::uint8_t idifDelayTenthsSec = 0;  // leakage
    std::uint16_t powerTenthsKw = 0;
    std::uint64_t energyMillionthsKwh = 0; // 40-bit counter; higher bits are not sent
    std::uint32_t runningSeconds = 0;
    std::uint16_t resetLockSeconds = 0; // remaining lock on the protection reset

    bool operator==(const Snapshot&) const = default;
};

// The 55-byte payload, byte 0 the selector 0 and the unused bytes 4 and 10 zero.
Bytes encodeSnapshot(const Snapshot& snapshot);

// Reads the fixed offsets whatever the length; bytes the answer did not reach read as 0.
Snapshot decodeSnapshot(ByteSpan payload);

// The snapshot as the "Диагностика" page shows it, one text a value.
struct SnapshotTexts {
    std::string time; // hh:mm:ss
    std::string date; // dd.mm.20yyг.
    std::string ua;   // phase voltages, whole volts
    std::string ub;
    std::string uc;
    std::string ia; // phase currents
    std::string ib;
    std::string ic;
    std::string leakageCurrent;
    std::string cosPhi;
    std::string voltageAsymmetry; // percent
    std::string currentAsymmetry;
    std::string overloadMultiple; // "---" up to a multiple of 1,0
    // What is left of each protection's trip delay, in seconds.
    std::string uminDelayLeft;
    std::string umaxDelayLeft;
    std::string voltageAsymmetryDelayLeft;
    std::string idleCurrentDelayLeft;
    std::string currentAsymmetryDelayLeft;
    std::string overloadDelayLeft;
    std::string lockedRotorDelayLeft;
    std::string leakageDelayLeft;
    std::string power;  // kW
    std::string energy; // kWh
    std::string runningTime;
    std::string resetLockLeft; // seconds left of the lock on the protection reset

    bool operator==(const SnapshotTexts&) const = default;
};

SnapshotTexts formatSnapshot(const Snapshot& snapshot);

enum class IndicatorColor { Red, Silver, Green };

// The colour of every indicator of the protection panel. Each protection has a lamp that
// follows its trip flag and one that follows its function flag: red when the bit is set,
// silver when clear. `anyActive` is red when any function flag is set; `equipment` follows bit
// 0 of the equipment flags; `insulation` is green while the insulation is sound, red when its
// bit is set.
struct IndicatorStates {
    IndicatorColor uminTripped = IndicatorColor::Silver;
    IndicatorColor umaxTripped = IndicatorColor::Silver;
    IndicatorColor voltageAsymmetryTripped = IndicatorColor::Silver;
    IndicatorColor idleCurrentTripped = IndicatorColor::Silver;
    IndicatorColor currentAsymmetryTripped = IndicatorColor::Silver;
    IndicatorColor overloadTripped = IndicatorColor::Silver;
    IndicatorColor lockedRotorTripped = IndicatorColor::Silver;
    IndicatorColor leakageTripped = IndicatorColor::Silver;
    IndicatorColor uminActive = IndicatorColor::Silver;
    IndicatorColor umaxActive = IndicatorColor::Silver;
    IndicatorColor voltageAsymmetryActive = IndicatorColor::Silver;
    IndicatorColor idleCurrentActive = IndicatorColor::Silver;
    IndicatorColor currentAsymmetryActive = IndicatorColor::Silver;
    IndicatorColor overloadActive = IndicatorColor::Silver;
    IndicatorColor lockedRotorActive = IndicatorColor::Silver;
    IndicatorColor leakageActive = IndicatorColor::Silver;
    IndicatorColor anyActive = IndicatorColor::Silver;
    IndicatorColor equipment = IndicatorColor::Silver;
    IndicatorColor insulation = IndicatorColor::Green;

    bool operator==(const IndicatorStates&) const = default;
};

IndicatorStates indicatorStates(const Snapshot& snapshot);

} // namespace torl7
