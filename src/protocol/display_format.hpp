// How the tool writes the unit's numbers, shared by the diagnostics page, the event grid and
// the accounting fields. The comma is the decimal separator whatever the locale; every
// computation is in integers, so no value is shown differently from one machine to another.
#pragma once

#include <cstdint>
#include <string>

namespace torl7 {

// Hours with at least five digits, then minutes and seconds with two: 3725 -> "00001:02:05",
// 4294967295 -> "1193046:28:15".
std::string formatRunningTime(std::uint32_t seconds);

// The power factor byte: bits 6..0 the magnitude in hundredths, bit 7 set for a positive
// sign. Magnitude 100 is "1,00" whatever the sign; otherwise two decimals, and a zero
// magnitude is "0,00" with no minus.
std::string formatCosF(std::uint8_t byte);
// The number the same byte stands for: 1 at magnitude 100, whatever the sign bit.
double cosFValue(std::uint8_t byte);

// A current (or power) in tenths: one decimal below 100 ("99,9"), a whole number rounded
// half away from zero from 100 up (1005 -> "101").
std::string formatCurrentTenths(std::uint16_t tenths);

// The active energy counter of the snapshot, in millionths of a kWh, as kWh with at least
// six integer digits and three decimals, rounded half up: 1000000 -> "000001,000".
std::string formatEnergyKwh(std::uint64_t millionths);

// The energy of the accounting record: the counter in units of 0.1 kWh, the rest dropped,
// with at least six integer digits and one decimal: 123456789 -> "000123,4". Wider values keep
// all their digits.
std::string formatAccountingEnergy(std::uint64_t millionths);

} // namespace torl7
