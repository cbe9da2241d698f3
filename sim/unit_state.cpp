#include "sim/unit_state.hpp"

#include <ctime>

namespace torl7::sim {

WallTime unitTime(const UnitClock& clock, WallTime pcNow) {
    return clock.stopped ? clock.stoppedAt : pcNow + clock.offset;
}

ClockBlock clockRegisters(WallTime time, bool stopped) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds); // the C runtime's thread-safe form, arguments swapped
#else
    localtime_r(&seconds, &local);
#endif
    ClockBlock block;
    block.seconds = local.tm_sec % 60; // a leap second shows as 00
    block.minutes = local.tm_min;
    block.hours = local.tm_hour;
    block.weekday = local.tm_wday + 1;
    block.day = local.tm_mday;
    block.month = local.tm_mon + 1;
    block.year = local.tm_year % 100;
    block.stopped = stopped;
    return block;
}

void setUnitClock(UnitClock& clock, const ClockBlock& registers, WallTime pcNow) {
    std::tm local{};
    local.tm_sec = registers.seconds;
    local.tm_min = registers.minutes;
    local.tm_hour = registers.hours;
    local.tm_mday = registers.day;
    local.tm_mon = registers.month - 1;
    local.tm_year = 100 + registers.year;
    local.tm_isdst = -1;
    // Registers out of range (a 31st of February) roll over as the unit's clock chip would
    // carry them into the next field.
    const WallTime set = std::chrono::system_clock::from_time_t(std::mktime(&local));
    // Measured from the start of the PC's second, so the unit reads `registers` right away.
    clock.offset = std::chrono::duration_cast<std::chrono::seconds>(
        set - std::chrono::floor<std::chrono::seconds>(pcNow));
    clock.stopped = registers.stopped;
    clock.stoppedAt = set;
}

} // namespace torl7::sim
