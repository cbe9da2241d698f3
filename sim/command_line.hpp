// The command line of `torl7-sim`, parsed into the options of the simulated unit. Pure.
#pragma once

#include "sim/sim_options.hpp"

#include <string>
#include <variant>
#include <vector>

namespace torl7::sim {

struct CommandLine {
    SimOptions options;
    bool help = false;
    bool verbose = false; // log every request and answer on standard error
};

struct CommandLineError {
    std::string message;
};

// `args` without the program name. Accepts "--name value" and "--name=value".
std::variant<CommandLine, CommandLineError> parseCommandLine(const std::vector<std::string>& args);

std::string helpText();

} // namespace torl7::sim
