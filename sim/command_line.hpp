// The command line of `torl7-sim`, parsed into the options of the simulated unit. Pure.
#pragma once

#include "sim/bus_units.hpp"
#include "sim/sim_options.hpp"

#include <string>
#include <variant>
#include <vector>

namespace torl7::sim {

struct CommandLine {
    SimOptions options;
    bool help = false;
    bool verbose = false; // log every request and answer on standard error
    // Every unit on the line, in the order given; empty: the one unit of `options`, whose
    // factory number is the first given.
    std::vector<std::uint16_t> units;
    // Faults of one unit's answers only.
    std::vector<UnitFault> unitFaults;
};

struct CommandLineError {
    std::string message;
};

// `args` without the program name. Accepts "--name value" and "--name=value".
std::variant<CommandLine, CommandLineError> parseCommandLine(const std::vector<std::string>& args);

std::string helpText();

} // namespace torl7::sim
