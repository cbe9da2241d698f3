// The request kinds of the unit's protocol (the command byte of a request; the answer carries
// the same code), with the two facts every sender needs about them. Pure: no Qt.
//
// The kinds are an unscoped enum in their own namespace: `kind::ConfigRead` is the byte on the
// wire wherever a byte is wanted, while a function that takes a `RequestKind` cannot be handed
// any other number, and a switch over one is checked by the compiler for every kind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace torl7 {

namespace kind {
enum RequestKind : std::uint8_t {
    Ping = 0, // also the speed-set request
    Diagnostics = 1,
    ConfigRead = 2,
    Write = 3, // configuration (sub-mode 0) or coefficients (1)
    Clock = 4,
    ProtectionReset = 5,
    EventBlock = 6,
    AccountingRead = 7,
    AccountingReset = 8,
    Version = 15,
};
} // namespace kind

using RequestKind = kind::RequestKind;

// The kind a code read off the wire names; nothing for a code the protocol does not have.
std::optional<RequestKind> requestKindOf(std::uint8_t code);

// Answers that can never be byte-identical to their request: such a frame is the line's echo
// of the request (an RS-485 adapter that hears itself). A write, clock correction or
// protection reset may be acknowledged by a repetition of the request, so there an identical
// frame is the answer.
bool echoNeverAnAnswer(RequestKind requestKind);

} // namespace torl7
