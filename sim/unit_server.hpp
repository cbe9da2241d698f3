// The serving loop: gathers requests from the transport, lets the model answer them and puts
// the answer on the wire through the fault layer, with the wire time when asked for.
#pragma once

#include "protocol/frame_assembler.hpp"
#include "sim/faults.hpp"
#include "sim/transport.hpp"
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
};

class UnitServer {
public:
    using Listener = std::function<void(const ServerEvent&)>;

    // All three must outlive the server.
    UnitServer(Transport& transport, UnitModel& model, FaultInjector& faults,
               ServerOptions options = {});

    // Serves until stop() is called or the transport fails; returns true after stop().
    bool run();

    // Ends run() soon after; any delay in progress is cut short. Thread-safe.
    void stop();

    // Called on the serving thread for every event; set before run().
    void setListener(Listener listener) { listener_ = std::move(listener); }

    // Runs `f(model, faults)` while no request is being handled: another thread's look at the
    // unit's state, or a change of the faults between two exchanges.
    template <class F> decltype(auto) withUnit(F&& f) {
        std::lock_guard lock(unitMutex_);
        return f(model_, faults_);
    }

    // Handles the bytes of one read; exposed for tests that drive the loop step by step.
    // False when the transport failed while answering.
    bool receive(ByteSpan bytes);

private:
    enum class Outcome { Served, LineReplaced, LineFailed };
    Outcome answer(const Frame& request);
    bool speedMatches(int& baud);
    // Waits `delay` unless stop() comes first; false when stopped.
    bool pause(std::chrono::microseconds delay);
    void notify(ServerEvent event);

    Transport& transport_;
    UnitModel& model_;
    FaultInjector& faults_;
    ServerOptions options_;
    Listener listener_;
    FrameAssembler assembler_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    // Held while the model and the faults are used; never during a wait.
    std::mutex unitMutex_;
    std::uint64_t answered_ = 0;
};

// Time the bytes take at `baud` with a start bit, 8 data bits and a stop bit, rounded up to
// the microsecond (a whole millisecond would overstate a short exchange at 115200 baud by a
// seventh).
std::chrono::microseconds wireTime(std::size_t byteCount, int baud);

} // namespace torl7::sim
