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

// The texts of the page, one per control, named like the control.
struct SnapshotTexts {
    std::string ttime; // hh:mm:ss
    std::string tDATE; // dd.mm.20yyг.
    std::string st_ua;
    std::string st_ub;
    std::string st_uc;
    std::string st_ia;
    std::string st_ib;
    std::string st_ic;
    std::string st_idif;
    std::string st_cos;
    std::string st_uasm;
    std::string st_iasm;
    std::string st_ikrp; // "---" up to a multiple of 1,0
    std::string c_umin;
    std::string c_umax;
    std::string c_uasm;
    std::string c_ihol;
    std::string c_iasm;
    std::string c_ivtz;
    std::string c_izakl;
    std::string c_idif;
    std::string st_pa;
    std::string st_wa;
    std::string st_moto;
    std::string st_blkz;

    bool operator==(const SnapshotTexts&) const = default;
};

SnapshotTexts formatSnapshot(const Snapshot& snapshot);

enum class IndicatorColor { Red, Silver, Green };

// The colour of every protection-panel indicator, named like the control. Circular ones
// follow the trip flags, square ones the function flags: red when the bit is set, silver when
// clear. `Sh_z` is red when any function flag is set; `sh_iso` is green when the insulation
// is sound.
struct IndicatorStates {
    IndicatorColor sh_umin = IndicatorColor::Silver;
    IndicatorColor sh_umax = IndicatorColor::Silver;
    IndicatorColor sh_uasm = IndicatorColor::Silver;
    IndicatorColor sh_ihol = IndicatorColor::Silver;
    IndicatorColor sh_iasm = IndicatorColor::Silver;
    IndicatorColor Sh_ivtz = IndicatorColor::Silver;
    IndicatorColor sh_zakl = IndicatorColor::Silver;
    IndicatorColor sh_idif = IndicatorColor::Silver;
    IndicatorColor zp_umin = IndicatorColor::Silver;
    IndicatorColor zp_umax = IndicatorColor::Silver;
    IndicatorColor zp_uasm = IndicatorColor::Silver;
    IndicatorColor zp_ihol = IndicatorColor::Silver;
    IndicatorColor zp_iasm = IndicatorColor::Silver;
    IndicatorColor zp_ivtz = IndicatorColor::Silver;
    IndicatorColor zp_zakl = IndicatorColor::Silver;
    IndicatorColor zp_idif = IndicatorColor::Silver;
    IndicatorColor Sh_z = IndicatorColor::Silver;
    IndicatorColor sh_dv = IndicatorColor::Silver;
    IndicatorColor sh_iso = IndicatorColor::Green;

    bool operator==(const IndicatorStates&) const = default;
};

IndicatorStates indicatorStates(const Snapshot& snapshot);

} // namespace torl7
