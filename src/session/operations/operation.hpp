// Every operation on the unit has one shape: it is started with every value it needs, reports
// its progress (done of total), and ends exactly once with one Outcome: done with its result,
// or a SessionError. cancel() ends it early, with SessionError::Cancelled. The window's
// controllers and the headless client run every operation this same way.
//
// The port follows one rule, set by how the operation is used (PortUse). An operation its
// owner starts opens the port afresh (an open port is reopened, so nothing the driver held from
// before is taken for an answer); a part of another operation runs on the port as it stands.
// An operation that ends done, or is cancelled by its owner, closes the port before its owner
// hears the end, unless it leaves the line open for what follows (the search leaves it at the
// speed it found; the poll leaves it to the idle close). After a failure the port is as the
// failure left it: a timeout or a lost line closed it, a refused request never touched it.
// Should the port be closed in the middle of a run (the idle close at a slow speed), the
// session opens it again for the next request.
#pragma once

#include "session/unit_session.hpp"

#include <QEventLoop>

#include <functional>
#include <memory>
#include <optional>

namespace torl7 {

// What an operation ends with. With an error, `result` holds what the operation had done by
// then when that matters to its owner (a write the unit acknowledged before the read-back
// failed), and nothing otherwise.
template <typename Result> struct Outcome {
    std::optional<Result> result;
    std::optional<SessionError> error;
    bool done() const { return !error.has_value(); }
    explicit operator bool() const { return done() && result.has_value(); }
};

struct Progress {
    int done = 0;
    int total = 0;
};

enum class PortUse : std::uint8_t {
    OwnRun,    // opens the port at its start, closes it when it ends done or is cancelled
    LeaveOpen, // opens the port at its start and leaves it open at its end
    Part,      // a step of another operation: the port as it stands, left open
};
enum class PortAtEnd : std::uint8_t { Close, KeepOpen };

template <typename R> class Operation {
public:
    using Result = R;
    using Finished = std::function<void(const Outcome<R>&)>;
    using Progressed = std::function<void(Progress)>;

    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
    virtual ~Operation() = default;

    // Who hears the operation: set once by its owner, heard by every run.
    void onProgress(Progressed progressed) { progressed_ = std::move(progressed); }
    void onFinished(Finished finished) { finished_ = std::move(finished); }

    bool running() const { return running_; }
    // Ends the run now: its request still in flight is given up, and it finishes with
    // SessionError::Cancelled. Nothing when it is not running. `port` overrides, for this
    // end, whether the port is closed.
    void cancel() { cancel(portAtEnd()); }
    void cancel(PortAtEnd port) {
        if (!running_) {
            return;
        }
        running_ = false;
        ++run_;
        if (asking_) {
            asking_ = false;
            session_.cancel();
        }
        cancelParts();
        end(Outcome<R>{std::nullopt,
                       SessionError{SessionError::Kind::Cancelled, session_.portName(), {}}},
            port == PortAtEnd::Close);
    }

protected:
    explicit Operation(UnitSession& session, PortUse portUse = PortUse::OwnRun)
        : session_(session), portUse_(portUse) {}

    // A new run: answers to the requests of an earlier run are not this run's. False when the
    // port would not open: the run has ended with that error, and nothing was sent.
    [[nodiscard]] bool begin() {
        ++run_;
        running_ = true;
        asking_ = false;
        if (portUse_ != PortUse::Part) {
            if (auto error = session_.openPort()) {
                fail(std::move(*error));
                return false;
            }
        }
        return true;
    }
    PortAtEnd portAtEnd() const {
        return portUse_ == PortUse::OwnRun ? PortAtEnd::Close : PortAtEnd::KeepOpen;
    }
    // One counted request of this run; `handle` gets its answer or failure unless the run has
    // ended meanwhile (or the operation is gone).
    void ask(RequestKind requestKind, const Bytes& payload,
             std::function<void(const Answer&)> handle,
             UnitSession::Wait wait = UnitSession::Wait::AnswerTimeout) {
        asking_ = true;
        session_.request(requestKind, payload, guarded(std::move(handle)), wait);
    }
    // One probe of this run (a ping built elsewhere), paced by the operation.
    void askUncounted(const Bytes& frame, std::function<void(const Answer&)> handle) {
        asking_ = true;
        session_.probe(frame, guarded(std::move(handle)));
    }
    void report(int done, int total) {
        if (progressed_) {
            progressed_(Progress{done, total});
        }
    }
    void succeed(R result) {
        if (!running_) {
            return;
        }
        running_ = false;
        end(Outcome<R>{std::move(result), std::nullopt}, portAtEnd() == PortAtEnd::Close);
    }
    // Ends the run done, closing the port or not as `port` says instead of the usual rule.
    void succeed(R result, PortAtEnd port) {
        if (!running_) {
            return;
        }
        running_ = false;
        end(Outcome<R>{std::move(result), std::nullopt}, port == PortAtEnd::Close);
    }
    void fail(SessionError error, std::optional<R> partial = std::nullopt) {
        if (!running_) {
            return;
        }
        running_ = false;
        end(Outcome<R>{std::move(partial), std::move(error)}, false);
    }
    // A composite operation cancels the part it is running.
    virtual void cancelParts() {}

    UnitSession& session_;

private:
    UnitSession::Reply guarded(std::function<void(const Answer&)> handle) {
        return [this, alive = std::weak_ptr<int>(alive_), run = run_,
                handle = std::move(handle)](const Answer& answer) {
            if (alive.expired() || run != run_ || !running_) {
                return;
            }
            asking_ = false;
            handle(answer);
        };
    }
    void end(const Outcome<R>& outcome, bool closePort) {
        asking_ = false;
        if (closePort) {
            session_.closePort();
        }
        // The owner may start the next run from here.
        if (const Finished finished = finished_) {
            finished(outcome);
        }
    }

    PortUse portUse_;
    Finished finished_;
    Progressed progressed_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    int run_ = 0;
    bool running_ = false;
    bool asking_ = false;
};

// Runs `operation` to its end in a local event loop: the headless client's one way to wait.
// `start` starts it with its inputs; the operation's own progress handler stays as it is.
template <typename Op, typename Start>
Outcome<typename Op::Result> runToEnd(Op& operation, Start&& start) {
    QEventLoop loop;
    std::optional<Outcome<typename Op::Result>> ended;
    operation.onFinished([&](const Outcome<typename Op::Result>& outcome) {
        ended = outcome;
        loop.quit();
    });
    start();
    if (!ended) {
        loop.exec();
    }
    operation.onFinished(nullptr);
    return *ended;
}

} // namespace torl7
