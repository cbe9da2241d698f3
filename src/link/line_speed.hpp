// The line speeds the tool and the unit know, by the index of the speed lists, and the
// response timeout each speed needs.
#pragma once

#include <cstdint>

namespace torl7 {

inline constexpr int kSpeedCount = 11;

// 0..10 -> 300..115200 baud; 0 for an index that names no speed.
int baudForIndex(int index);

// The index of a speed of the list, or -1.
int indexForBaud(int baud);

// How long a request of `requestKind` waits for its answer at the speed of `speedIndex`:
// the round trip of the longest answer at that speed with margin; a configuration or
// coefficient write (kind 3) gets 500 ms more for the unit's memory write.
int responseTimeoutMs(int speedIndex, std::uint8_t requestKind);

} // namespace torl7
