// The two frames of the RS485 speed change, both command 0 and built outside the request
// transmitter: the empty ping, and the speed-set request carrying the unit's new line
// speed index (0 = 300 ... 10 = 115200 baud). Pure.
#pragma once

#include "protocol/encodings.hpp"

#include <cstdint>

namespace torl7 {

inline constexpr std::uint8_t kPingCommand = 0;

Bytes pingFrame(std::uint16_t factoryNumber);
Bytes speedSetFrame(std::uint16_t factoryNumber, std::uint8_t speedIndex);

} // namespace torl7
