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
    if (thread_.joinable()) {
        throw std::logic_error("the simulated unit is running already");
    }
    if (options.devicePath) {
        transport_ =
            std::make_unique<DeviceTransport>(*options.devicePath, options.unit.lineSpeedBaud);
    } else {
        transport_ = std::make_unique<PtyTransport>(options.unit.lineSpeedBaud);
    }
    model_ =
        std::make_unique<UnitModel>(options.unit, options.clock ? *options.clock : systemClock_);
    faults_ = std::make_unique<FaultInjector>(options.faults);
    server_ = std::make_unique<UnitServer>(*transport_, *model_, *faults_, options.server);
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
    faults_.reset();
    model_.reset();
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
