// Everything that sets up a simulated unit: the unit itself, its faults and its line.
#pragma once

#include "protocol/line_endpoint.hpp"
#include "sim/faults.hpp"
#include "sim/unit_model.hpp"
#include "sim/unit_server.hpp"

#include <chrono>
#include <optional>
#include <string>

namespace torl7::sim {

// The unit behind a serial server on the network instead of on a serial line.
struct ListenOptions {
    HostPort where;       // port 0: a free one
    bool rfc2217 = false; // Telnet with COM-port control, else raw TCP
    // Not zero: every byte the server sends (Telnet escapes and commands included) leaves in a
    // segment of its own, this long after the one before, as from a server that packs nothing.
    std::chrono::milliseconds byteGap{0};
};

struct SimOptions {
    UnitOptions unit;
    FaultOptions faults;
    ServerOptions server;
    // Serve this serial port instead of a new pseudo-terminal.
    std::optional<std::string> devicePath;
    // Serve over TCP on this address instead.
    std::optional<ListenOptions> listen;
    // The PC clock the unit's clock runs from; the system clock when not given. Must outlive
    // the running unit.
    const Clock* clock = nullptr;
};

} // namespace torl7::sim
