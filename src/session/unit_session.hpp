// The one exchange with the unit, for the window and the headless client alike: the serial
// line, one request in flight, the receiver, the answer timeout by line speed, the idle close,
// and the counters. It never reads a control: the caller hands it the port, the factory number
// and the line speed, and failures come back as values. Everything runs on the thread that
// owns it.
//
// The session is a small state machine. Idle, one request goes out; it then waits for that
// request's answer (with the answer timeout, or without one where the sender repeats what goes
// unanswered, as the poll's watchdog does), or first for the answer to the ping that settles
// whether the line echoes. Every request the session accepts gets exactly one reply: its
// answer, or why there is none (a timeout, a lost line, a port that would not open, a request
// refused because another holds the line, or cancelled because it was replaced or given up).
//
// A request is answered by the first verified frame that carries its code (a ping or
// speed-set request by code 0). A verified frame with another code answers some earlier
// request (a poll answer that was under way when another command went out): it is counted
// and handed to whoever listens for that code, and the wait for the real answer goes on with
// its timeout untouched. A frame that arrives with no request in flight answers nothing.
//
// An RS-485 adapter may hear itself and hand our own request back before the unit's answer.
// The session learns per port whether the line echoes: a frame identical to a request whose
// answer always differs from it (a read, a ping) is the echo, and an answer with no such frame
// before it shows a line that does not echo. The unit acknowledges a reset (and perhaps a
// clock correction or a write) with a frame that may be identical to the request, so such a
// frame is taken as the answer only on a port known not to echo; on an echoing port the first
// identical frame is the echo and the second the answer. Before such a request goes out on a
// port whose echo is not yet known, a ping settles the question; a ping that goes unanswered
// ends the request as unanswered, and the request itself is not sent.
//
// The port: a request that finds the port closed opens it first (the port the caller named),
// and when it cannot be opened nothing is sent and the reply says why. The session closes the
// port when a counted request goes unanswered, and when the line has been idle for the idle
// close; operations close it when they end (session/operations/operation.hpp).
#pragma once

#include "protocol/frame_assembler.hpp"
#include "protocol/request_kind.hpp"
#include "session/port_access.hpp"
#include "session/serial_line.hpp"
#include "session/traffic.hpp"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

namespace torl7 {

// Why an exchange ended without the unit's answer.
struct SessionError {
    enum class Kind {
        NoPort,        // no port is selected (none was found)
        PortNotOpened, // the port could not be opened: nothing was sent
        Timeout,       // the request went out and no answer came in time
        LineLost,      // the port went away (an adapter pulled out)
        Refused,       // another exchange holds the line: nothing was sent
        Cancelled,     // replaced by a newer request, or given up by its sender
        SpeedFixed,    // the line's speed is set in a serial server (raw TCP): nothing was sent
    };
    Kind kind;
    QString port;          // the port concerned
    QString detail;        // what the system said, when it said anything
    PortRefusal refusal{}; // PortNotOpened: what stands in the way, where the system shows it
};

// The answer to one request, or why there is none.
struct Answer {
    std::optional<Frame> frame;
    std::optional<SessionError> error;
    explicit operator bool() const { return frame.has_value(); }
};

class UnitSession : public QObject {
    Q_OBJECT
public:
    enum class State : std::uint8_t {
        Idle,
        SettlingEcho,   // the ping before a request that may be acknowledged by its own copy
        AwaitingAnswer, // a counted request, the answer timeout running
        AwaitingRepeat, // a counted request without a timeout: its sender repeats it
        Probing,        // an uncounted ping of the search or the speed change
    };
    // How the wait for a counted request's answer ends.
    enum class Wait : std::uint8_t {
        AnswerTimeout, // the answer timeout of the line speed
        SenderRepeats, // no timeout: the sender repeats what goes unanswered (the poll's watchdog)
    };
    // Whether the line of the port hands our requests back.
    enum class Echo : std::uint8_t { Unknown, Echoing, NotEchoing };

    explicit UnitSession(SerialLine& line, QObject* parent = nullptr);

    // ---- What the caller hands in ----
    // The port to open: its device path and the name the user knows it by.
    void setPort(const QString& device, const QString& name);
    void clearPort();
    void setFactoryNumber(std::uint16_t factoryNumber) { factoryNumber_ = factoryNumber; }
    // The line speed (an index of the speed list): the timeouts follow it, and the port takes
    // it at once (or at the next open).
    void setLineSpeed(int speedIndex);
    // Replaces the timeouts by line speed (the headless client's --timeout-ms).
    void setTimeoutOverride(std::optional<int> timeoutMs) { timeoutOverrideMs_ = timeoutMs; }

    std::uint16_t factoryNumber() const { return factoryNumber_; }
    int lineSpeed() const { return speedIndex_; }
    const QString& portName() const { return portName_; }
    const QString& portDevice() const { return portDevice_; }
    const std::optional<int>& timeoutOverride() const { return timeoutOverrideMs_; }
    // How long a request of `requestKind` waits for its answer.
    int timeoutMs(RequestKind requestKind) const;

    // ---- The port ----
    // Opens the port (reopening it if open). Nothing when it is open, else why not.
    std::optional<SessionError> openPort();
    void closePort();
    bool isOpen() const { return line_.isOpen(); }

    // ---- Requests ----
    using Reply = std::function<void(const Answer&)>;
    // Sends a request of `requestKind` carrying `payload`, counts it, and hands `reply` its
    // answer or the failure, exactly once. While a counted request waits for its answer under
    // a timeout, or the line is held, a new one is refused (after the caller has returned).
    // A request whose sender repeats it, or a probe, gives way to the new one (its reply gets
    // Cancelled).
    void request(RequestKind requestKind, const Bytes& payload, Reply reply,
                 Wait wait = Wait::AnswerTimeout);
    // A frame built elsewhere (the ping and speed-set request of the search and the speed
    // change): not counted, and gives way to any other request. With a timeout when one is
    // given; else the sender paces it.
    void probe(const Bytes& frame, Reply reply, std::optional<int> timeoutMs = {});
    // Gives up the request in flight (its reply gets Cancelled) and stops the answer timeout
    // and the idle close: the sender takes the line over (the search, the speed change) or
    // was stopped by the user.
    void cancel();

    State state() const { return state_; }
    bool outstanding() const { return state_ != State::Idle; }
    Echo echo() const { return echo_; }

    // While the RS485 speed change runs it holds the line: its own probes go out, every
    // counted request is refused.
    void holdLine() { held_ = true; }
    void releaseLine() { held_ = false; }
    bool lineHeld() const { return held_; }

    // ---- The timers, by role ----
    // The answer timeout and the idle close as armed now: their period, or nothing when off.
    // The idle close counts from the last request sent or byte received, and is never shorter
    // than the answer timeout plus the wire time of the longest answer at the line speed.
    std::optional<int> answerTimeoutArmed() const;
    std::optional<int> idleCloseArmed() const;
    // What each does when it expires (tests step them without waiting).
    void answerTimedOut();
    void idleCloseElapsed();

    // ---- What the session knows ----
    const std::optional<Frame>& lastFrame() const { return lastFrame_; }
    const Bytes& lastRequest() const { return lastRequest_; }
    int requestsSent() const { return requestsSent_; }
    int answersVerified() const { return answersVerified_; }
    void resetCounters();
    SerialLine& line() { return line_; }

signals:
    void countersChanged();
    // The port went away under us; it is closed.
    void lineLost(const QString& reason);
    // The port was opened for a request.
    void portOpened();
    // A verified frame that does not answer the request in flight (a poll answer that was
    // still under way when another command went out).
    void lateAnswer(const Frame& frame);
    // Every frame the line took and everything the receiver made of the bytes that came back.
    void traffic(const TrafficEntry& entry);

private:
    enum class Counting : std::uint8_t { Counted, Probe };
    enum class OnTimeout : std::uint8_t { ClosePort, KeepPortOpen };
    struct Outgoing {
        Bytes frame;
        Counting counting = Counting::Counted;
        OnTimeout onTimeout = OnTimeout::ClosePort;
        std::optional<int> timeoutMs;
        Reply reply;
    };
    // The request in flight.
    struct InFlight {
        RequestKind answerCode = kind::Ping;
        Counting counting = Counting::Counted;
        OnTimeout onTimeout = OnTimeout::ClosePort;
        // Its answer can never be identical to it: an identical frame is the line's echo.
        bool answerAlwaysDiffers = true;
        bool echoSeen = false;
        Reply reply;
    };

    void send(Outgoing outgoing);
    void settleEchoThenSend(Outgoing outgoing);
    void transmit(Outgoing outgoing);
    void bytesArrived();
    void frameVerified(const Frame& frame);
    void lost(const QString& reason);
    // Ends the request in flight (and one held behind the echo ping) with `answer`.
    void finish(const Answer& answer);
    void refuse(Reply reply, SessionError::Kind why);
    SessionError error(SessionError::Kind kind, const QString& detail = {}) const;
    void record(TrafficEntry::Direction direction, Bytes bytes, TrafficEntry::Sum sum,
                TrafficEntry::Fate fate);
    void recordUnfinished();
    int idleCloseMs() const;

    SerialLine& line_;
    QTimer* const answerTimer_;
    QTimer* const idleCloseTimer_;
    QString portDevice_;
    QString portName_;
    std::uint16_t factoryNumber_ = 600;
    int speedIndex_ = 10;
    std::optional<int> timeoutOverrideMs_;
    FrameAssembler assembler_;
    std::optional<Frame> lastFrame_;
    Bytes lastRequest_;
    State state_ = State::Idle;
    InFlight inFlight_;
    // The request that waits for the ping settling the echo.
    std::optional<Outgoing> heldBehindPing_;
    Echo echo_ = Echo::Unknown;
    bool held_ = false;
    int requestsSent_ = 0;
    int answersVerified_ = 0;
};

// What the tool says when the unit leaves a request unanswered.
inline const QString kNoAnswerText =
    QStringLiteral("Устройство не отвечает! Повторите попытку или обратитесь к разработчику.");

} // namespace torl7
