#include "sim/simulated_unit.hpp"

#include "sim/posix_transport.hpp"

#include <sys/prctl.h>

#include <stdexcept>

namespace torl7::sim {

SimulatedUnit::SimulatedUnit() = default;

SimulatedUnit::~SimulatedUnit() {
    stop();
}

std::string SimulatedUnit::start(const SimOptions& options) {
    return startBus(std::span<const SimOptions>(&options, 1));
}

std::string SimulatedUnit::startBus(std::span<const SimOptions> units) {
    if (thread_.joinable()) {
        throw std::logic_error("the simulated unit is running already");
    }
    if (units.empty()) {
        throw std::invalid_argument("a line with no unit on it");
    }
    const SimOptions& options = units.front();
    std::vector<std::unique_ptr<UnitModel>> models;
    std::vector<std::unique_ptr<FaultInjector>> faults;
    UnitBus bus;
    for (const SimOptions& unit : units) {
        if (unit.unit.lineSpeedBaud != options.unit.lineSpeedBaud) {
            throw std::invalid_argument("the units on one line start at one speed");
        }
        models.push_back(
            std::make_unique<UnitModel>(unit.unit, unit.clock ? *unit.clock : systemClock_));
        faults.push_back(std::make_unique<FaultInjector>(unit.faults));
        bus.attach(*models.back(), *faults.back());
    }
    if (options.devicePath) {
        transport_ =
            std::make_unique<DeviceTransport>(*options.devicePath, options.unit.lineSpeedBaud);
    } else {
        transport_ = std::make_unique<PtyTransport>(options.unit.lineSpeedBaud);
    }
    models_ = std::move(models);
    faults_ = std::move(faults);
    server_ = std::make_unique<UnitServer>(*transport_, std::move(bus), options.server);
    server_->setListener([this](const ServerEvent& event) { onEvent(event); });
    {
        std::lock_guard lock(mutex_);
        path_ = transport_->portPath();
        running_ = true;
    }
    thread_ = std::thread([this] {
        // The wire time is waited out to the microsecond: the kernel's default 50 us of timer
        // slack would lengthen every answer of a fast line by more than the exchange's own
        // bytes vary.
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        server_->run();
        std::lock_guard lock(mutex_);
        running_ = false;
    });
    return portPath();
}

void SimulatedUnit::stop() {
    if (!thread_.joinable()) {
        return;
    }
    server_->stop();
    thread_.join();
    server_.reset();
    faults_.clear();
    models_.clear();
    transport_.reset();
}

bool SimulatedUnit::running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

std::string SimulatedUnit::portPath() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void SimulatedUnit::setListener(UnitServer::Listener listener) {
    listener_ = std::move(listener);
}

void SimulatedUnit::onEvent(const ServerEvent& event) {
    if (event.kind == ServerEvent::Kind::PortChanged) {
        std::lock_guard lock(mutex_);
        path_ = event.portPath;
    }
    if (listener_) {
        listener_(event);
    }
}

} // namespace torl7::sim
