// The headless client's exchange with the unit: one request outstanding, the answer gathered
// by the receive assembler (skipping the line's echo of the request as the window's link
// does), and a response timeout that follows the line speed. Qt Core only.
#pragma once

#include "link/frame.hpp"
#include "link/frame_assembler.hpp"
#include "link/serial_line.hpp"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

namespace torl7 {

class UnitClient : public QObject {
    Q_OBJECT
public:
    struct Settings {
        std::uint16_t factoryNumber = 600;
        int speedIndex = 10; // 0 = 300 ... 10 = 115200 baud
        // Replaces the timeouts by line speed when set.
        std::optional<int> timeoutMs;
    };

    UnitClient(SerialLine& line, Settings settings, QObject* parent = nullptr);

    // False when the port cannot be opened; `error` says why.
    bool open(const QString& port, QString& error);
    void close();

    void setSpeedIndex(int speedIndex);
    const Settings& settings() const { return settings_; }

    // How long a request of `requestKind` waits for its answer.
    int timeoutMs(std::uint8_t requestKind) const;

    // The answer, or nothing when none came in time (or the line went away).
    using Done = std::function<void(std::optional<Frame>)>;

    // Sends a request of `requestKind` carrying `payload` and reports its answer: the first
    // verified frame with the same code. A frame with another code is not this request's answer
    // and is passed over. Refused (false) while another request is outstanding.
    bool send(std::uint8_t requestKind, const Bytes& payload, Done done);
    // The same for a frame built elsewhere (the ping), with its own timeout.
    bool sendFrame(const Bytes& frame, bool echoIsNoAnswer, int timeoutMs, Done done);

    // send() and wait for its end in a local event loop.
    std::optional<Frame> exchange(std::uint8_t requestKind, const Bytes& payload = {});
    std::optional<Frame> exchangeFrame(const Bytes& frame, bool echoIsNoAnswer, int timeoutMs);

    bool busy() const { return static_cast<bool>(done_); }
    // Why the last request failed: empty for a plain timeout.
    const QString& lineError() const { return lineError_; }
    // Every request written, in order (for a log).
    const std::vector<Bytes>& sent() const { return sent_; }

private:
    void onReadyRead();
    void finish(std::optional<Frame> answer);

    SerialLine& line_;
    Settings settings_;
    QTimer timeout_;
    FrameAssembler assembler_;
    Bytes request_;
    bool echoIsNoAnswer_ = false;
    Done done_;
    QString lineError_;
    std::vector<Bytes> sent_;
};

} // namespace torl7
