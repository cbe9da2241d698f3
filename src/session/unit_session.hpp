// The one exchange with the unit, for the window and the headless client alike: the serial
// line, one request outstanding, the receiver, the response timeout by line speed, the idle
// close, and the counters. It never reads a control: the caller hands it the port, the
// factory number and the line speed, and failures come back as values. Everything runs on
// the thread that owns it.
//
// A request is answered by the first verified frame that carries its code (a ping or
// speed-set request by code 0). A verified frame with another code answers some earlier
// request (a poll answer that was under way when another command went out): it is counted
// and handed to whoever listens for that code, and the wait for the real answer goes on with
// its timeout untouched. A frame that arrives with no request outstanding answers nothing.
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
#pragma once

#include "protocol/frame_assembler.hpp"
#include "protocol/request_kind.hpp"
#include "session/port_access.hpp"
#include "session/serial_line.hpp"
#include "session/traffic.hpp"

#include <QObject>
#include <QTimer>

#include <array>
#include <functional>
#include <map>
#include <optional>

namespace torl7 {

// Why an exchange ended without the unit's answer.
struct SessionError {
    enum class Kind {
        NoPort,        // no port is selected (none was found)
        PortNotOpened, // the port could not be opened: nothing was sent
        Timeout,       // the request went out and no answer came in time
        LineLost,      // the port went away (an adapter pulled out)
        Refused,       // another exchange holds the line
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
    explicit UnitSession(SerialLine& cp1, QObject* parent = nullptr);

    // ---- What the caller hands in ----
    // The port to open: its device path and the name the user knows it by.
    void setPort(const QString& device, const QString& name);
    void clearPort();
    void setFactoryNumber(std::uint16_t factoryNumber) { factoryNumber_ = factoryNumber; }
    // The speed for the timeouts and the next Comspeed.
    void setSpeedIndex(int speedIndex);
    // Replaces the timeouts by line speed (the headless client's --timeout).
    void setTimeoutOverride(std::optional<int> timeoutMs) { timeoutOverrideMs_ = timeoutMs; }

    std::uint16_t factoryNumber() const { return factoryNumber_; }
    int speedIndex() const { return speedIndex_; }
    const QString& portName() const { return portName_; }
    const std::optional<int>& timeoutOverride() const { return timeoutOverrideMs_; }
    // How long a request of `requestKind` waits for its answer.
    int timeoutMs(std::uint8_t requestKind) const;

    // ---- The port ----
    // Opens the port (reopening it if open). Nothing when it is open, else why not.
    std::optional<SessionError> comopen();
    void comclose();
    void Comspeed();
    bool isOpen() const { return cp1_.isOpen(); }

    // ---- Requests with an answer ----
    using Reply = std::function<void(const Answer&)>;
    // Sends a request of `requestKind` carrying `payload`, counts it, and hands `reply` the
    // answer or the failure, exactly once. A counted request still waiting for its answer is
    // never sent over: the new one is refused (SessionError::Refused, after the caller has
    // returned). A poll request without a timeout, or a probe, is replaced: its reply is
    // dropped (the poll's watchdog repeats it, the search paces its own pings). The response
    // timeout is off for the poll's own requests (kind 1) unless `withTimeout`; the poll watchdog
    // covers them.
    void request(std::uint8_t requestKind, const Bytes& payload, Reply reply,
                 bool withTimeout = false);
    // A frame built elsewhere (the ping and speed-set request of the search and the speed
    // change): not counted. With a timeout when one is given; else the caller paces it.
    void requestUncounted(const Bytes& frame, Reply reply, std::optional<int> timeoutMs = {});
    // Forgets the outstanding request without a word (the user stopped the exchange).
    void abandon();
    bool outstanding() const { return static_cast<bool>(reply_); }

    // Whether the line of the port hands our requests back.
    enum class Echo : std::uint8_t { Unknown, Echoing, NotEchoing };
    Echo echo() const { return echo_; }

    QTimer* const Timer3; // response timeout
    // Idle close, counted from the last request sent or byte received, and never shorter than
    // the response timeout plus the wire time of the longest answer at the line speed.
    QTimer* const Timer4;
    void cp1RxChar();
    void Timer3Timer();
    void Timer4Timer();

    // ---- What the session knows ----
    const std::optional<Frame>& lastFrame() const { return lastFrame_; }
    const Bytes& lastRequest() const { return lastRequest_; }
    int requestsSent() const { return requestsSent_; }
    int answersVerified() const { return answersVerified_; }
    void resetCounters();
    SerialLine& line() { return cp1_; }

    // While the RS485 speed change runs, no other exchange may use the line.
    void setReserved(bool reserved) { reserved_ = reserved; }
    bool reserved() const { return reserved_; }

signals:
    void countersChanged();
    // The port went away under us; it is closed.
    void lineLost(const QString& reason);
    // The port was opened for a request.
    void portOpened();
    // A verified frame that does not answer the request outstanding (a poll answer that was
    // still under way when another command went out).
    void lateAnswer(const Frame& frame);
    // Every frame sent and everything the receiver made of the bytes that came back.
    void traffic(const TrafficEntry& entry);

private:
    struct Outgoing {
        Bytes frame;
        bool counted = true;
        bool closeOnTimeout = true;
        std::optional<int> timeoutMs;
        Reply reply;
    };
    void send(Outgoing outgoing);
    void settleEchoThenSend(Outgoing outgoing);
    void transmit(Outgoing outgoing);
    void RX_OK();
    void finish(Answer answer);
    void record(TrafficEntry::Direction direction, Bytes bytes, TrafficEntry::Sum sum,
                TrafficEntry::Fate fate);
    void recordUnfinished();
    std::uint8_t answerCode() const;
    std::uint8_t requestKind() const { return answerCode(); }
    int idleCloseMs() const;

    SerialLine& cp1_;
    QString portDevice_;
    QString portName_;
    std::uint16_t factoryNumber_ = 600;
    int speedIndex_ = 10;
    std::optional<int> timeoutOverrideMs_;
    FrameAssembler assembler_;
    std::optional<Frame> lastFrame_;
    Bytes lastRequest_;
    // The answer to the request outstanding can never be identical to it.
    bool answerAlwaysDiffers_ = true;
    bool echoSeen_ = false; // for the request outstanding
    Echo echo_ = Echo::Unknown;
    Reply reply_;
    bool closeOnTimeout_ = true;
    bool lastCounted_ = false;
    bool settlingEcho_ = false; // the request outstanding is the ping before a held one
    int requestsSent_ = 0;
    int answersVerified_ = 0;
    bool reserved_ = false;
};

// Sends one request through `send`, which is handed the reply to pass on, and waits in a local
// event loop until its answer or failure (the headless client's way to run an exchange).
Answer waitForAnswer(const std::function<void(UnitSession::Reply)>& send);

// What the tool says when the unit leaves a request unanswered.
inline const QString kNoAnswerText =
    QStringLiteral("Устройство не отвечает! Повторите попытку или обратитесь к разработчику.");

} // namespace torl7
