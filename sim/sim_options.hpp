// Everything that sets up a simulated unit: the unit itself, its faults and its line.
#pragma once

#include "sim/faults.hpp"
#include "sim/unit_model.hpp"
#include "sim/unit_server.hpp"

#include <optional>
#include <string>

namespace torl7::sim {

struct SimOptions {
    UnitOptions unit;
    FaultOptions faults;
    ServerOptions server;
    // Serve this serial port instead of a new pseudo-terminal.
    std::optional<std::string> devicePath;
    // The PC clock the unit's clock runs from; the system clock when not given. Must outlive
    // the running unit.
    const Clock* clock = nullptr;
};

} // namespace torl7::sim
