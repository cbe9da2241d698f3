#include "sim/unit_server.hpp"

#include <stdexcept>

namespace torl7::sim {

namespace {
constexpr std::chrono::milliseconds kReadSlice{200};
}

std::chrono::microseconds wireTime(std::size_t byteCount, int baud) {
    if (baud <= 0) {
        return std::chrono::microseconds{0};
    }
    const auto bits = static_cast<std::int64_t>(byteCount) * 10;
    return std::chrono::microseconds((bits * 1000000 + baud - 1) / baud);
}

UnitServer::UnitServer(Transport& transport, UnitModel& model, FaultInjector& faults,
                       ServerOptions options)
    : transport_(transport), options_(options) {
    bus_.attach(model, faults);
}

UnitServer::UnitServer(Transport& transport, UnitBus bus, ServerOptions options)
    : transport_(transport), bus_(std::move(bus)), options_(options) {
    if (bus_.units().empty()) {
        throw std::invalid_argument("a line with no unit on it");
    }
}

void UnitServer::notify(ServerEvent event) {
    if (listener_) {
        listener_(event);
    }
}

bool UnitServer::run() {
    while (!stopping_) {
        const auto bytes = transport_.read(kReadSlice);
        if (!bytes) {
            notify({ServerEvent::Kind::LineFailed, {}, 0, {}, transport_.portPath()});
            return stopping_;
        }
        if (!bytes->empty() && !receive(*bytes)) {
            return stopping_;
        }
    }
    return true;
}

void UnitServer::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    transport_.interrupt();
}

bool UnitServer::pause(std::chrono::microseconds delay) {
    if (delay <= std::chrono::microseconds{0}) {
        return !stopping_;
    }
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, delay, [this] { return stopping_.load(); });
}

bool UnitServer::speedMatches(int& baud) {
    const auto speed = transport_.lineSpeedBaud();
    baud = speed.value_or(0);
    std::lock_guard lock(unitMutex_);
    return speed && bus_.anyListensAt(*speed);
}

bool UnitServer::receive(ByteSpan bytes) {
    int baud = 0;
    if (!speedMatches(baud)) {
        // At another speed the units' receivers see only garbage; whatever they had gathered
        // is lost with it.
        assembler_.reset();
        notify({ServerEvent::Kind::IgnoredAtWrongSpeed,
                Bytes(bytes.begin(), bytes.end()),
                baud,
                {},
                {}});
        return true;
    }
    // One byte at a time, so that a request that follows another in the same read is still
    // gathered after the first is answered.
    for (std::size_t i = 0; i < bytes.size() && !stopping_; ++i) {
        if (auto request = assembler_.feed(bytes.subspan(i, 1))) {
            assembler_.reset();
            const Outcome outcome = answer(*request, baud);
            if (outcome == Outcome::LineFailed) {
                return false;
            }
            if (outcome == Outcome::LineReplaced) {
                return true; // the rest of this read came over the old line
            }
        }
    }
    return true;
}

UnitServer::Outcome UnitServer::answer(const Frame& request, int baud) {
    std::vector<WirePlan> plans;
    BusUnit* unit = nullptr;
    std::uint16_t number = 0;
    {
        std::lock_guard lock(unitMutex_);
        unit = bus_.addressee(request, baud);
        number = unit ? unit->number() : 0;
        notify({ServerEvent::Kind::Request, request.bytes(), baud, {}, {}, number});
        const std::vector<Bytes> answers =
            unit ? unit->model->handle(request) : std::vector<Bytes>{};
        if (answers.empty()) {
            plans.push_back(unit ? unit->faults->plan(request.bytes(), {}, baud)
                                 : bus_.planForNobody(request.bytes(), baud));
        }
        for (const Bytes& frame : answers) {
            const bool first = &frame == &answers.front();
            const bool slow = options_.wireTime && first && answered_ < options_.wireTimeAnswers;
            const auto delay = slow ? wireTime(request.bytes().size() + frame.size(), baud)
                                    : std::chrono::microseconds{0};
            plans.push_back(unit->faults->plan(request.bytes(), frame, baud, delay));
        }
        answered_ += answers.empty() ? 0 : 1;
    }

    for (const WirePlan& plan : plans) {
        Bytes sent;
        for (const WireStep& step : plan.steps) {
            if (!pause(step.delayBefore)) {
                return Outcome::Served; // stopping: the answer is abandoned
            }
            if (!transport_.write(step.bytes)) {
                notify({ServerEvent::Kind::LineFailed, {}, baud, {}, transport_.portPath()});
                return Outcome::LineFailed;
            }
            sent.insert(sent.end(), step.bytes.begin(), step.bytes.end());
        }
        notify({plan.steps.empty() ? ServerEvent::Kind::Silent : ServerEvent::Kind::Answer,
                std::move(sent),
                baud,
                plan.applied,
                {},
                number});
        if (plan.hangUpAfter) {
            assembler_.reset();
            if (!transport_.hangUp()) {
                notify({ServerEvent::Kind::LineFailed, {}, baud, {}, transport_.portPath()});
                return Outcome::LineFailed;
            }
            notify({ServerEvent::Kind::PortChanged, {}, baud, {}, transport_.portPath()});
            return Outcome::LineReplaced;
        }
    }

    // A speed change takes effect once its answer has left at the old speed.
    if (unit) {
        const int newBaud = withUnit(
            number, [](UnitModel& model, FaultInjector&) { return model.state().lineSpeedBaud; });
        if (newBaud != baud) {
            transport_.setLineSpeedBaud(newBaud);
        }
    }
    return Outcome::Served;
}

} // namespace torl7::sim
