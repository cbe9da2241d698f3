#include "protocol/codecs/clock_codec.hpp"

#include <algorithm>

namespace torl7 {

namespace {

constexpr std::uint8_t kAutoDstFlag = 0x80;
constexpr std::size_t kYearByte = 7;

std::uint8_t yearByte(int fullYear) {
    const int y = fullYear % 1000;
    // Conversion to uint8_t keeps the low 8 bits, also of a negative value.
    return static_cast<std::uint8_t>((y / 10) * 16 + y % 10);
}

} // namespace

Bytes encodeClockCorrection(const ClockCorrection& correction, int fullYear) {
    Bytes payload;
    payload.reserve(kClockCorrectionSize);
    payload.push_back(encodeClockCalibration(correction.calibration));
    const auto registers = encodeClockBlock(correction.clock);
    payload.insert(payload.end(), registers.begin(), registers.end());
    payload[kYearByte] = yearByte(fullYear);
    payload.push_back(correction.autoDst ? kAutoDstFlag : 0x00);
    return payload;
}

ClockCorrection decodeClockCorrection(ByteSpan payload) {
    const PayloadReader in(payload);
    ClockCorrection correction;
    correction.calibration = decodeClockCalibration(in.byte(0));
    correction.clock = decodeClockBlock(in, 1);
    correction.autoDst = (in.byte(8) & kAutoDstFlag) != 0;
    return correction;
}

std::uint8_t encodeClockCalibration(int calibration) {
    const int v = std::clamp(calibration, -kMaxClockCalibration, kMaxClockCalibration);
    return static_cast<std::uint8_t>(v >= 0 ? 32 + v : -v);
}

int decodeClockCalibration(std::uint8_t byte) {
    const int magnitude = byte & 0x1F;
    return (byte & 0x20) != 0 ? magnitude : -magnitude;
}

std::int64_t daysSinceMarchOfYearZero(int year, int month, int day) {
    // The proleptic Gregorian calendar, counted from 1 March of year 0, a Wednesday.
    const int y = month <= 2 ? year - 1 : year;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<std::int64_t>(era) * 146097 + dayOfEra;
}

int unitWeekday(int year, int month, int day) {
    const std::int64_t days = daysSinceMarchOfYearZero(year, month, day);
    const int sinceSunday = static_cast<int>(((days + 3) % 7 + 7) % 7);
    return sinceSunday + 1;
}

ClockCorrection clockCorrectionAt(const LocalDateTime& now, const ClockPanel& panel) {
    ClockCorrection correction;
    correction.calibration = panel.calibration;
    correction.clock.seconds = now.seconds;
    correction.clock.minutes = now.minutes;
    correction.clock.hours = now.hours;
    correction.clock.weekday = unitWeekday(now.year, now.month, now.day);
    correction.clock.day = now.day;
    correction.clock.month = now.month;
    correction.clock.year = now.year % 100;
    correction.clock.stopped = panel.stopped;
    correction.autoDst = panel.autoDst;
    return correction;
}

} // namespace torl7
