// The simulated unit serving its line on a thread of its own: what `torl7-sim` runs, and what
// the tool runs in-process for `--simulate`. Several units can share the line, as on a bus.
#pragma once

#include "sim/sim_options.hpp"
#include "sim/unit_server.hpp"

#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace torl7::sim {

class SimulatedUnit {
public:
    SimulatedUnit();
    ~SimulatedUnit();
    SimulatedUnit(const SimulatedUnit&) = delete;
    SimulatedUnit& operator=(const SimulatedUnit&) = delete;

    // Opens the line and starts serving it; returns the path the tool should open. Throws
    // std::system_error when the line cannot be opened, std::logic_error when running.
    std::string start(const SimOptions& options);
    // The same for several units on one line. The line (its port, speed, wire time and PC
    // clock) is the first unit's; every unit has its own state and faults. Throws
    // std::invalid_argument when there is no unit, when two share a factory number, or when a
    // unit's speed is not the line's.
    std::string startBus(std::span<const SimOptions> units);

    // Stops serving and closes the line; the pseudo-terminal's path goes away.
    void stop();

    // False once stopped, or when the line failed for good.
    bool running() const;

    // The path the tool should open now (a hang-up of a pseudo-terminal changes it).
    std::string portPath() const;

    // Runs `f(model, faults)` between two exchanges of the running unit: a test's look at what
    // the unit holds, or the line made clean again. On a bus, the first unit.
    template <class F> decltype(auto) withUnit(F&& f) {
        return server_->withUnit(std::forward<F>(f));
    }
    // The same for the unit with factory number `number` on the bus; std::out_of_range when the
    // line has none.
    template <class F> decltype(auto) withUnit(std::uint16_t number, F&& f) {
        return server_->withUnit(number, std::forward<F>(f));
    }

    // Receives every event of the line on the serving thread; set before starting.
    void setListener(UnitServer::Listener listener);

private:
    void onEvent(const ServerEvent& event);

    SystemClock systemClock_;
    std::unique_ptr<Transport> transport_;
    std::vector<std::unique_ptr<UnitModel>> models_;
    std::vector<std::unique_ptr<FaultInjector>> faults_;
    std::unique_ptr<UnitServer> server_;
    std::thread thread_;
    UnitServer::Listener listener_;
    mutable std::mutex mutex_;
    std::string path_;
    bool running_ = false;
};

} // namespace torl7::sim
