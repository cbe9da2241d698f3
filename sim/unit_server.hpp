// The serving loop: gathers requests from the transport, lets the unit they are for answer them
// and puts the answer on the wire through that unit's fault layer, with the wire time when asked
// for. One unit on the line, or several on one bus.
#pragma once

#include "protocol/frame_assembler.hpp"
#include "sim/faults.hpp"
#include "sim/transport.hpp"
#include "sim/unit_bus.hpp"
#include "sim/unit_model.hpp"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace torl7::sim {

struct ServerOptions {
    // Delay every answer by the time the request's and the answer's bytes take on the wire at
    // the line speed (10 bits a byte), which a pseudo-terminal does not take by itself.
    bool wireTime = false;
    // Only this many answers, the first ones, take their wire time; the rest go out at once
    // (a slow line's first exchanges, without waiting out every later one).
    std::uint64_t wireTimeAnswers = UINT64_MAX;
};

// What happened on the line, for a log.
struct ServerEvent {
    enum class Kind { Request, IgnoredAtWrongSpeed, Answer, Silent, PortChanged, LineFailed };
    Kind kind;
    Bytes bytes;
    int lineSpeedBaud = 0;
    std::vector<FaultKind> faults;
    std::string portPath;
    // The unit a request, an answer or a silence belongs to; 0 when no unit on the line took
    // the frame.
    std::uint16_t unit = 0;
};

class UnitServer {
public:
    using Listener = std::function<void(const ServerEvent&)>;

    // All three must outlive the server.
    UnitServer(Transport& transport, UnitModel& model, FaultInjector& faults,
               ServerOptions options = {});
    // Several units on one line; the transport and the bus's units must outlive the server.
    UnitServer(Transport& transport, UnitBus bus, ServerOptions options = {});

    // Serves until stop() is called or the transport fails; returns true after stop().
    bool run();

    // Ends run() soon after; any delay in progress is cut short. Thread-safe.
    void stop();

    // Called on the serving thread for every event; set before run().
    void setListener(Listener listener) { listener_ = std::move(listener); }

    // Runs `f(model, faults)` while no request is being handled: another thread's look at the
    // unit's state, or a change of the faults between two exchanges. On a bus, the first unit.
    template <class F> decltype(auto) withUnit(F&& f) {
        std::lock_guard lock(unitMutex_);
        const BusUnit& unit = bus_.units().front();
        return f(*unit.model, *unit.faults);
    }
    // The same for the unit with factory number `number`; std::out_of_range when the line has
    // none.
    template <class F> decltype(auto) withUnit(std::uint16_t number, F&& f) {
        std::lock_guard lock(unitMutex_);
        const BusUnit& unit = bus_.at(number);
        return f(*unit.model, *unit.faults);
    }

    // Handles the bytes of one read; exposed for tests that drive the loop step by step.
    // False when the transport failed while answering.
    bool receive(ByteSpan bytes);

private:
    enum class Outcome { Served, LineReplaced, LineFailed };
    Outcome answer(const Frame& request, int baud);
    bool speedMatches(int& baud);
    // Waits `delay` unless stop() comes first; false when stopped.
    bool pause(std::chrono::microseconds delay);
    void notify(ServerEvent event);

    Transport& transport_;
    UnitBus bus_;
    ServerOptions options_;
    Listener listener_;
    FrameAssembler assembler_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    // Held while the units' models and faults are used; never during a wait.
    std::mutex unitMutex_;
    std::uint64_t answered_ = 0;
};

// Time the bytes take at `baud` with a start bit, 8 data bits and a stop bit, rounded up to
// the microsecond (a whole millisecond would overstate a short exchange at 115200 baud by a
// seventh).
std::chrono::microseconds wireTime(std::size_t byteCount, int baud);

} // namespace torl7::sim
