#include "protocol/lost_acknowledgement.hpp"

namespace torl7 {

namespace {

constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;

std::int64_t daysInMonth(int year, int month) {
    const std::int64_t first = daysSinceMarchOfYearZero(year, month, 1);
    return month == 12 ? daysSinceMarchOfYearZero(year + 1, 1, 1) - first
                       : daysSinceMarchOfYearZero(year, month + 1, 1) - first;
}

bool isCalendarTime(int year, int month, int day, int hours, int minutes, int seconds) {
    return month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month) && hours >= 0 &&
           hours <= 23 && minutes >= 0 && minutes <= 59 && seconds >= 0 && seconds <= 59;
}

std::int64_t secondsOf(int year, int month, int day, int hours, int minutes, int seconds) {
    return daysSinceMarchOfYearZero(year, month, day) * kSecondsPerDay + hours * 3600 +
           minutes * 60 + seconds;
}

} // namespace

std::optional<std::int64_t> clockOffsetSeconds(const ClockStamp& unitClock,
                                               const LocalDateTime& pcNow) {
    const int unitYear = 2000 + unitClock.year;
    if (unitClock.year > 99 ||
        !isCalendarTime(unitYear, unitClock.month, unitClock.day, unitClock.hours,
                        unitClock.minutes, unitClock.seconds)) {
        return std::nullopt;
    }
    return secondsOf(unitYear, unitClock.month, unitClock.day, unitClock.hours, unitClock.minutes,
                     unitClock.seconds) -
           secondsOf(pcNow.year, pcNow.month, pcNow.day, pcNow.hours, pcNow.minutes, pcNow.seconds);
}

ClockFinding clockAfterCorrection(const ClockStamp& unitClock, const LocalDateTime& pcNow) {
    const auto offset = clockOffsetSeconds(unitClock, pcNow);
    if (!offset) {
        return ClockFinding::NoDate;
    }
    return *offset >= -kClockAgreementSeconds && *offset <= kClockAgreementSeconds
               ? ClockFinding::ShowsPcTime
               : ClockFinding::Differs;
}

bool protectionClear(const Snapshot& snapshot) {
    return snapshot.tripFlags == 0;
}

} // namespace torl7
