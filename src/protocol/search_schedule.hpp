// The pace of the exchanges that find the unit and move its bus speed, by the PC's line speed
// index (0 = 300 ... 10 = 115200 baud). From 9600 baud on, the unit answers a ping within
// 50 ms. Pure: no Qt.
#pragma once

#include <array>
#include <cstddef>

namespace torl7 {

// The device search pings each speed this many times before trying the next one, slowest
// speed first.
inline constexpr int kPingsPerSpeed = 2;

namespace detail {
inline constexpr std::array<int, 5> kPingWaitMs = {800, 400, 200, 100, 50};
inline constexpr std::array<int, 5> kSpeedChangeStepMs = {900, 500, 300, 200, 100};
inline constexpr int kFastMs = 50;
inline constexpr int kFastStepMs = 50;

constexpr int bySpeed(const std::array<int, 5>& table, int speedIndex, int fast) {
    return speedIndex >= 0 && speedIndex < static_cast<int>(table.size())
               ? table[static_cast<std::size_t>(speedIndex)]
               : fast;
}
} // namespace detail

// How long a ping at the speed `speedIndex` waits for its answer: the step of the device
// search, and the wait after the first ping of the RS485 speed change.
constexpr int pingWaitMs(int speedIndex) {
    return detail::bySpeed(detail::kPingWaitMs, speedIndex, detail::kFastMs);
}

// The wait after each later step of the RS485 speed change (the speed-set request, the
// check ping at the new speed): the unit stores its new speed before it answers.
constexpr int speedChangeStepMs(int speedIndex) {
    return detail::bySpeed(detail::kSpeedChangeStepMs, speedIndex, detail::kFastStepMs);
}

} // namespace torl7
