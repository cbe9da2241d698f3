#include "faults/unit_rig.hpp"

#include "protocol/line_speed.hpp"

#include <QElapsedTimer>
#include <QTimer>

namespace torl7::faults {

UnitRig::UnitRig(sim::SimOptions options, std::uint16_t toolFactoryNumber)
    : clock_(std::chrono::system_clock::now()), session_(line_) {
    options.clock = &clock_;
    unit_.setListener([this](const sim::ServerEvent& event) {
        std::lock_guard lock(mutex_);
        using Kind = sim::ServerEvent::Kind;
        if (event.kind == Kind::Request) {
            requests_.push_back(event.bytes);
            ++pending_;
        } else if (event.kind == Kind::Answer || event.kind == Kind::Silent) {
            --pending_;
            faulted_ += event.faults.empty() ? 0 : 1;
        }
    });
    const QString path = QString::fromStdString(unit_.start(options));
    session_.setPort(path, path);
    session_.setFactoryNumber(toolFactoryNumber);
    session_.setLineSpeed(indexForBaud(options.unit.lineSpeedBaud));
}

UnitRig::~UnitRig() {
    session_.cancel();
    session_.closePort();
    unit_.stop();
}

sim::UnitState UnitRig::unitState() {
    return unit_.withUnit([](sim::UnitModel& model, sim::FaultInjector&) {
        model.advance();
        return model.state();
    });
}

void UnitRig::clearFaults() {
    unit_.withUnit([](sim::UnitModel&, sim::FaultInjector& faults) { faults.clear(); });
}

std::vector<Bytes> UnitRig::requests() {
    std::lock_guard lock(mutex_);
    return requests_;
}

void UnitRig::clearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

long UnitRig::faultedAnswers() {
    std::lock_guard lock(mutex_);
    return faulted_;
}

bool UnitRig::runUntil(const std::function<bool()>& ended, std::chrono::milliseconds limit) {
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer tick; // wakes the loop to look at the limit
    tick.start(20);
    QEventLoop loop;
    while (!ended()) {
        if (elapsed.elapsed() > limit.count()) {
            return false;
        }
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void UnitRig::settle(std::chrono::milliseconds limit) {
    runUntil(
        [this] {
            std::lock_guard lock(mutex_);
            return pending_ <= 0;
        },
        limit);
    // The last bytes written reach the session's read on the next turns of the loop.
    QElapsedTimer elapsed;
    elapsed.start();
    runUntil([&] { return elapsed.elapsed() > 50; }, std::chrono::milliseconds{100});
}

std::optional<SessionError> UnitRig::reopen() {
    const QString path = QString::fromStdString(unit_.portPath());
    session_.setPort(path, path);
    return session_.openPort();
}

} // namespace torl7::faults
