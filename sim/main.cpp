// torl7-sim: the simulated unit (or several on one line) on a pseudo-terminal or a serial
// port, until SIGINT/SIGTERM.
#include "sim/command_line.hpp"
#include "sim/simulated_unit.hpp"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <system_error>

using namespace torl7;
using namespace torl7::sim;

namespace {

std::string hex(const Bytes& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (auto b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

std::string faultList(const std::vector<FaultKind>& faults) {
    std::string text;
    for (FaultKind kind : faults) {
        text += (text.empty() ? " [" : ",") + std::string(faultName(kind));
    }
    return text.empty() ? text : text + "]";
}

// On a line of several units, which one answered or stayed silent.
std::string unitNamed(const ServerEvent& event, bool bus) {
    if (!bus) {
        return {};
    }
    return event.unit == 0 ? " (no unit has that number)"
                           : " (unit " + std::to_string(event.unit) + ")";
}

void logEvent(const ServerEvent& event, bool bus) {
    switch (event.kind) {
    case ServerEvent::Kind::Request:
        std::cerr << "<- " << hex(event.bytes) << '\n';
        break;
    case ServerEvent::Kind::IgnoredAtWrongSpeed:
        std::cerr << "   ignored " << event.bytes.size() << " bytes at " << event.lineSpeedBaud
                  << " baud\n";
        break;
    case ServerEvent::Kind::Answer:
        std::cerr << "-> " << hex(event.bytes) << faultList(event.faults) << unitNamed(event, bus)
                  << '\n';
        break;
    case ServerEvent::Kind::Silent:
        std::cerr << "   no answer" << faultList(event.faults) << unitNamed(event, bus) << '\n';
        break;
    case ServerEvent::Kind::PortChanged:
    case ServerEvent::Kind::LineFailed:
        break;
    }
}

} // namespace

int main(int argc, char** argv) {
    const auto parsed = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* error = std::get_if<CommandLineError>(&parsed)) {
        std::cerr << "torl7-sim: " << error->message << "\nTry 'torl7-sim --help'.\n";
        return 2;
    }
    const auto& line = std::get<CommandLine>(parsed);
    if (line.help) {
        std::cout << helpText();
        return 0;
    }
    const std::vector<SimOptions> units = unitsOnLine(line.options, line.units, line.unitFaults);
    const bool bus = units.size() > 1;

    // The serving thread inherits the blocked signals; only this thread takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::mutex outputMutex;
    SimulatedUnit unit;
    unit.setListener([&](const ServerEvent& event) {
        std::lock_guard lock(outputMutex);
        if (event.kind == ServerEvent::Kind::PortChanged) {
            std::cout << event.portPath << std::endl;
            std::cerr << "torl7-sim: the line was hung up; now serving " << event.portPath << '\n';
        } else if (event.kind == ServerEvent::Kind::LineFailed) {
            std::cerr << "torl7-sim: the line " << event.portPath << " failed\n";
        } else if (line.verbose) {
            logEvent(event, bus);
        }
    });
    try {
        const std::string path = unit.startBus(units);
        std::lock_guard lock(outputMutex);
        std::cout << path << std::endl;
    } catch (const std::system_error& error) {
        std::cerr << "torl7-sim: " << error.what() << '\n';
        return 1;
    }

    const timespec slice{0, 200'000'000};
    while (unit.running()) {
        if (sigtimedwait(&stopSignals, nullptr, &slice) > 0) {
            unit.stop();
            return 0;
        }
    }
    unit.stop();
    return 1;
}
