#include "sim/simulated_unit.hpp"

#include "sim/tcp_transport.hpp"

#ifdef _WIN32
#define TORL7_NO_PSEUDO_TERMINALS 1
#else
#include "sim/posix_transport.hpp"
#endif
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <stdexcept>
#include <system_error>

namespace torl7::sim {

namespace {

std::unique_ptr<Transport> openTransport(const SimOptions& options) {
    const int baud = options.unit.lineSpeedBaud;
    if (options.listen) {
        return std::make_unique<TcpTransport>(options.listen->where,
                                              options.listen->rfc2217 ? TcpTransport::Mode::Rfc2217
                                                                      : TcpTransport::Mode::Raw,
                                              baud, options.listen->byteGap);
    }
#ifdef TORL7_NO_PSEUDO_TERMINALS
    if (options.devicePath) {
        throw std::system_error(std::make_error_code(std::errc::not_supported),
                                "serving a serial port");
    }
    // No pseudo-terminals here: the unit is served on a free port of the loopback address.
    return std::make_unique<TcpTransport>(HostPort{"127.0.0.1", 0}, TcpTransport::Mode::Raw, baud);
#else
    if (options.devicePath) {
        return std::make_unique<DeviceTransport>(*options.devicePath, baud);
    }
    return std::make_unique<PtyTransport>(baud);
#endif
}

} // namespace

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
    transport_ = openTransport(options);
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
#ifdef __linux__
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
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
