#include "app/simulate.hpp"

#include "sim/simulated_unit.hpp"

#include <exception>

namespace torl7 {

struct SimulatedUnitHandle::Running {
    sim::SimulatedUnit unit;
};

SimulatedUnitHandle::SimulatedUnitHandle() = default;

SimulatedUnitHandle::~SimulatedUnitHandle() {
    if (running_) {
        running_->unit.stop();
    }
}

QString SimulatedUnitHandle::start() {
    auto running = std::make_unique<Running>();
    sim::SimOptions options;
    // The bytes take their real time on the wire, so the counters and the poll rate look
    // like those of a unit on a cable.
    options.server.wireTime = true;
    try {
        const std::string path = running->unit.start(options);
        running_ = std::move(running);
        return QString::fromStdString(path);
    } catch (const std::exception& e) {
        error_ = QString::fromLocal8Bit(e.what());
        return QString();
    }
}

} // namespace torl7
