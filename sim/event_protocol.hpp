// The simulated unit's event protocol: the hundred 24-byte records it hands out in ten blocks,
// as it keeps them, erased records included. Built in, or written by hand in a text file.
// Pure but for reading that file.
#pragma once

#include "journal/event_codec.hpp"

#include <array>
#include <string>
#include <string_view>
#include <variant>

namespace torl7::sim {

// Entry 1 first; each entry is the 24 bytes of one record.
using EventProtocol = std::array<Bytes, EventTable::kEntries>;

inline constexpr int kDefaultEventCount = 37;

// A protocol as a unit in service has it: `validEvents` (0..100) events spread over months,
// a start, a trip and a stop in turn, some pairs in the same second told apart by their order
// digit, written as a ring so that table order is not time order; the other entries erased.
// The same count always gives the same protocol.
EventProtocol builtInEventProtocol(int validEvents);

// Every entry erased (24 bytes of 0xFF).
EventProtocol erasedEventProtocol();

struct EventProtocolError {
    std::string message; // names the line
};

// One record a line, entry 1 first; up to 100 lines, the rest erased. Blank lines and lines
// starting with '#' are skipped. A record line is one of
//   erased
//   24 bytes in hex:            03 45 30 14 05 03 16 81 20 00 DC 00 DD ...
//   a stamp and named fields:   05.03.16 14:30:45:3 state=81 prot=20 u=220,221,222
//                               i=12.3,12.4,100 iut=0.5 cos=0.85
// In the third form the order digit after the seconds is optional (0); state and prot are
// hex bytes (default 80 and 00), u whole volts, i and iut amperes, cos the signed power
// factor -1..1 (default 1); fields left out read as 0. Dates are not checked, so records the
// tool must reject can be written too (31.02.21, hour 24), within what the BCD fields carry.
std::variant<EventProtocol, EventProtocolError> parseEventProtocol(std::string_view text);

// Reads and parses the file; an error names the file.
std::variant<EventProtocol, EventProtocolError> loadEventProtocolFile(const std::string& path);

} // namespace torl7::sim
