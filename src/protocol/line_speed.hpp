// Line speeds of the unit's ports and of the tool's serial line, as the index of their lists
// (0 = 300 ... 10 = 115200 baud), and the answer timeouts that follow from them. Pure.
#pragma once

#include "protocol/request_kind.hpp"

#include <cstdint>

namespace torl7 {

inline constexpr int kSpeedCount = 11;

// 300, 600, ... 115200 for the indices 0..10; 0 for an index that names no speed.
int baudForIndex(int index);

// The index of a speed of the list; -1 for any other rate.
int indexForBaud(int baud);

// How long the tool waits for an answer at the line speed `speedIndex`: 10 s at 300 baud,
// halving with each doubling down to 350 ms at 9600 and 300 ms from 14400 on. An index that
// names no speed keeps 300 ms. A configuration or coefficient write (request kind 3) waits
// 500 ms longer while the unit stores it. The diagnostic poll watchdog uses the same periods;
// it is the caller that leaves the timeout off for the poll's own requests.
int responseTimeoutMs(int speedIndex, RequestKind requestKind);

// The line speed the tool takes for a unit by its factory number: units numbered below 600
// are the older ones, which talk at 14400 baud; the others at 115200.
int speedIndexForUnit(int factoryNumber);

} // namespace torl7
