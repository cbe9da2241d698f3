// The unit's 80-byte configuration record: protection settings, phase monitoring, calibration
// coefficients, two descriptive texts and the RS485 bus settings. The tool writes it in a
// kind-3 request behind sub-mode 0 and reads it back from the code-2 answer, same layout both
// ways. Pure: no Qt.
#pragma once

#include "protocol/encodings.hpp"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace torl7 {

inline constexpr std::size_t kConfigRecordSize = 80;
inline constexpr std::size_t kUnitTextSize = 16;
inline constexpr std::size_t kCoefficientCount = 7;
// Payload byte 0 of a kind-3 request: which block the unit is to store.
inline constexpr std::uint8_t kWriteSubModeConfig = 0;
inline constexpr std::uint8_t kWriteSubModeCoefficients = 1;

using UnitText = std::array<std::uint8_t, kUnitTextSize>;

// The 16 blanks an empty text of the unit is sent as.
inline constexpr UnitText kBlankUnitText = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                            ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};

// The record as wire values, one member per field in record order. Tenths fields hold the
// number of tenths (of a second or an ampere); `...TenthsOfSecond` words are whole seconds x
// 10. The defaults are the values the tool starts with.
struct ConfigRecord {
    std::uint8_t rs485SpeedIndex = 5; // 0 = 300 ... 10 = 115200 baud
    std::uint16_t uminVolts = 170;
    std::uint8_t uminDelayTenths = 100;
    std::uint16_t umaxVolts = 250;
    std::uint8_t umaxDelayTenths = 100;
    std::uint8_t uAsymPercent = 30;
    std::uint8_t uAsymDelayTenths = 150;
    std::uint16_t iholTenths = 0;
    std::uint16_t iholDelayTenthsOfSecond = 600;
    std::uint8_t iAsymPercent = 25;
    std::uint8_t iAsymDelayTenths = 50;
    std::uint16_t inomTenths = 150;
    std::uint16_t vtzTenthsOfSecond = 3000;
    std::uint16_t izklTenths = 450;
    std::uint8_t izklDelayTenths = 30;
    std::uint16_t idifTenths = 10;
    std::uint8_t idifDelayTenths = 5;
    // Insulation 500 kOhm and on, both phase sets A/B/C, protection block off.
    std::uint8_t controlByte = 0x7F;
    // Bit per protection, bit 0 first: Umin, Umax, U asymmetry, idle current, I asymmetry,
    // overload, locked rotor, leakage.
    std::uint8_t enableByte = 0xF4;
    std::uint8_t cosCorrectionByte = 0x80; // see encodeCosCorrection
    // Ua, Ub, Uc, Ia, Ib, Ic, leakage current.
    std::array<std::uint16_t, kCoefficientCount> coefficients = {570, 570, 570, 200,
                                                                 200, 200, 5000};
    UnitText equipmentType = kBlankUnitText; // Windows-1251
    UnitText installation = kBlankUnitText;  // Windows-1251
    std::uint8_t busProtocolIndex = 0;
    std::uint8_t busAddress = 1;
    std::uint8_t tbMs = 5;
    std::uint8_t teMs = 3;
    std::uint16_t resetLockSeconds = 1;

    bool operator==(const ConfigRecord&) const = default;
};

std::array<std::uint8_t, kConfigRecordSize> encodeConfigRecord(const ConfigRecord& record);

// Reads record bytes 0..79 from the start of `recordBytes` (the code-2 answer's payload);
// positions a short answer did not reach read as 0. Never fails.
ConfigRecord decodeConfigRecord(ByteSpan recordBytes);

// Payload of the configuration write: sub-mode 0, then the 80 record bytes.
Bytes configWritePayload(const ConfigRecord& record);

// Phase sets monitored ("A/B/C", "A/B", "A/C", "A" in list order) are coded 3, 1, 2, 0 in
// their two-bit fields. A list with no item selected (-1), or an index past the list, counts
// as "A".
int phaseSetValue(int itemIndex);
// The list item for a two-bit field value; only the low two bits are looked at.
int phaseSetItem(int fieldValue);

// The control byte: insulation threshold index in bits 1..0 (50, 100, 250, 500 kOhm),
// insulation monitoring in bit 2, voltage phase set in bits 4..3, current phase set in bits
// 6..5, protection block in bit 7. Phase sets are given as list items.
struct ControlFields {
    int isoIndex = 0;
    bool isoOn = false;
    int voltageItem = 0;
    int currentItem = 0;
    bool blockOn = false;

    bool operator==(const ControlFields&) const = default;
};

// An insulation index outside 0..3 (nothing selected) is sent as 0: added unmasked it would
// spill into the monitoring bit and the phase fields.
std::uint8_t composeControlByte(int isoIndex, bool isoOn, int voltageItem, int currentItem,
                                bool blockOn);
ControlFields decomposeControlByte(std::uint8_t controlByte);

// cos f correction in sign and magnitude, the sign bit set for zero and positive values:
// v >= 0 -> 128 + v, v < 0 -> -v. The magnitude has seven bits, so v is held to -127..127
// (the tool's own range, -75..75, lies inside).
std::uint8_t encodeCosCorrection(int value);
// Bit 7 set: the low seven bits; clear: minus the whole byte.
int decodeCosCorrection(std::uint8_t byte);

// A text of the unit: Windows-1251, padded with blanks to 16 characters, cut after 16.
UnitText unitText16(std::string_view utf8);
// The 16 bytes as UTF-8, untrimmed: trailing blanks and any other byte stay.
std::string unitTextFrom16(std::span<const std::uint8_t, kUnitTextSize> bytes);

} // namespace torl7
