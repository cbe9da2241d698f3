// The clock correction request (kind 4): the unit's clock calibration, its seven clock
// registers set from the PC's date and time, and the automatic summer-time flag. Pure.
#pragma once

#include "protocol/encodings.hpp"

#include <cstdint>

namespace torl7 {

inline constexpr std::size_t kClockCorrectionSize = 9;
// Range of the clock calibration the unit keeps: five bits of magnitude.
inline constexpr int kMaxClockCalibration = 31;

struct ClockCorrection {
    int calibration = 0; // -31..31
    ClockBlock clock;    // `stopped` stops the unit's clock
    bool autoDst = false;

    bool operator==(const ClockCorrection&) const = default;
};

// Calibration, the clock registers (seconds with the stop bit, minutes, hours, day of the
// week, day, month), the year byte, then 0x80 when summer time is to follow automatically.
// The year byte comes from `fullYear`, not from `clock.year`: y = year mod 1000, then
// (y div 10) x 16 + (y mod 10), low 8 bits, which for 2000..2099 is the BCD of the last two
// digits.
Bytes encodeClockCorrection(const ClockCorrection& correction, int fullYear);
// The request as the unit reads it; the year is the year within the century.
ClockCorrection decodeClockCorrection(ByteSpan payload);

// A date and time of the PC's local clock, as the user reads it.
struct LocalDateTime {
    int year = 2000; // full year
    int month = 1;
    int day = 1;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
};

// The day of the week the unit counts: 1 = Sunday ... 7 = Saturday (Gregorian calendar).
int unitWeekday(int year, int month, int day);
// Days since 1 March of year 0 (Gregorian calendar): differences of dates in days.
std::int64_t daysSinceMarchOfYearZero(int year, int month, int day);

// The correction that sets the unit's clock to `now`, with the clock panel's calibration, stop
// and summer-time settings. Time, date and day of the week all come from the one reading, so a
// correction taken at midnight cannot mix two days.
struct ClockPanel {
    int calibration = 0;  // -31..31
    bool stopped = false; // the unit's clock is to stand still
    bool autoDst = false; // the unit changes to and from summer time itself
};
ClockCorrection clockCorrectionAt(const LocalDateTime& now, const ClockPanel& panel);

// Sign and magnitude: bit 5 set for zero and positive values, magnitude in bits 4..0. The
// status snapshot reports the calibration the same way. Values are held to -31..31.
std::uint8_t encodeClockCalibration(int calibration);
// Bits 7..6 are not part of the value.
int decodeClockCalibration(std::uint8_t byte);

} // namespace torl7
