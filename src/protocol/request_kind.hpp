// The request kinds of the unit's protocol (the command byte of a request; the answer carries
// the same code), with the two facts every sender needs about them. Pure: no Qt.
#pragma once

#include <cstddef>
#include <cstdint>

namespace torl7 {

namespace kind {
inline constexpr std::uint8_t Ping = 0; // also the speed-set request
inline constexpr std::uint8_t Diagnostics = 1;
inline constexpr std::uint8_t ConfigRead = 2;
inline constexpr std::uint8_t Write = 3; // configuration (sub-mode 0) or coefficients (1)
inline constexpr std::uint8_t Clock = 4;
inline constexpr std::uint8_t ProtectionReset = 5;
inline constexpr std::uint8_t EventBlock = 6;
inline constexpr std::uint8_t AccountingRead = 7;
inline constexpr std::uint8_t AccountingReset = 8;
inline constexpr std::uint8_t Version = 15;
} // namespace kind

// Answers that can never be byte-identical to their request: such a frame is the line's echo
// of the request (an RS-485 adapter that hears itself). A write, clock correction or
// protection reset may be acknowledged by a repetition of the request, so there an identical
// frame is the answer.
bool echoNeverAnAnswer(std::uint8_t requestKind);

} // namespace torl7
