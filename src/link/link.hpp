// The one exchange with the unit: the serial line, the transmit and receive sides, the
// response timeout and the idle close, and the dispatch of every verified answer to the
// subsystem that owns its response code. One request is outstanding at a time; everything
// runs on the window's thread.
#pragma once

#include "link/frame_assembler.hpp"
#include "link/request_kind.hpp"
#include "link/serial_line.hpp"

#include <QObject>
#include <QTimer>

#include <array>
#include <functional>
#include <map>

class QComboBox;
class QLabel;
class QSpinBox;

namespace torl7 {

class MessageBoxes;

// What the tool says when the unit leaves a request unanswered.
inline const QString kNoAnswerText =
    QStringLiteral("Устройство не отвечает! Повторите попытку или обратитесь к разработчику.");

class Link : public QObject {
    Q_OBJECT
public:
    // The controls of the main window the exchange reads and counts in.
    struct Controls {
        QSpinBox* frm1_zn;   // factory number sent in every frame
        QComboBox* cb_speed; // line speed
        QComboBox* cmbPorts; // port; an item's data, when set, is the device path to open
        QLabel* st_txd;      // requests sent
        QLabel* st_rxd;      // verified answers
    };

    Link(SerialLine& cp1, MessageBoxes& boxes, Controls controls, QObject* parent = nullptr);

    // The request under construction. `requestKind` and the caller-owned payload bytes keep
    // their values until somebody writes them again (the poll resends the same selector).
    std::uint8_t requestKind = 0;
    std::array<std::uint8_t, kMaxPayload> payload{};
    // Shared by the device search (0..12), the RS485 speed change (13..16) and the report
    // chain (20..22); 0 is idle.
    int searchState = 0;
    // Bit 0: a verified frame is being handed over. Bit 1: armed by the poll watchdog, cleared
    // by every request and every verified frame.
    std::uint8_t linkFlags = 0;

    QTimer* const Timer3; // response timeout of every request except kind 1
    QTimer* const Timer4; // closes the port 3 s after the last request

    // Opens the selected port (reopening it if open). False only when no port is selected,
    // after saying so; a port that fails to open is reported and the request that follows is
    // lost to the timeout.
    bool comopen();
    void comclose();
    void Comspeed();
    // Sends a request of `requestKind`, counts it, arms the timeouts.
    void TXD();
    // The ping and the speed-set request of the search and the speed change: the receive side
    // is cleared as for any request, but nothing is counted and no timer is armed.
    void sendUncounted(const Bytes& frame);

    // The frame just dispatched answered an earlier request, not the one outstanding (a poll
    // answer that was under way when another command was sent): gather the outstanding
    // answer afresh and re-arm its response timeout, as if that frame had not come.
    void resumeWaiting();

    void cp1RxChar();
    void Timer3Timer();
    void Timer4Timer();

    using Handler = std::function<void(const Frame&)>;
    void setHandler(std::uint8_t responseCode, Handler handler);
    // Answers of one code whose payload byte 0 is `selector` go to this handler instead
    // (code 1 selector 4: calibration samples; code 3 sub-modes 0 and 1: the two writes).
    void setHandler(std::uint8_t responseCode, std::uint8_t selector, Handler handler);
    // Sees every verified answer of a code before its handler does, whatever the selector
    // (the poll counts any code-1 answer as an answer, calibration samples included).
    void observeAnswers(std::uint8_t responseCode, Handler observer);
    // Kind 3 payloads come from the subsystem that owns them (sub-mode 0: the configuration
    // page, 1: the calibration coefficients). Nothing means a field did not convert: that was
    // reported already, and nothing is sent.
    using PayloadBuilder = std::function<std::optional<Bytes>()>;
    void setWriteBuilder(std::uint8_t subMode, PayloadBuilder builder);

    // The last verified frame, as it stands in the receive area until the next request.
    const std::optional<Frame>& lastFrame() const { return lastFrame_; }
    const Bytes& lastRequest() const { return lastRequest_; }
    SerialLine& line() { return cp1_; }
    MessageBoxes& boxes() { return boxes_; }
    const Controls& controls() const { return controls_; }

    // While the RS485 speed change runs, no other exchange may use the buffers.
    void setReserved(bool reserved) { reserved_ = reserved; }
    bool reserved() const { return reserved_; }

signals:
    // comopen used the port at this index of the port list (the search dialog mirrors it).
    void portIndexUsed(int index);

private:
    void RX_OK();
    void startRequest(const Bytes& frame, bool echoNeverAnAnswer);
    static void increment(QLabel* counter);

    SerialLine& cp1_;
    MessageBoxes& boxes_;
    Controls controls_;
    FrameAssembler assembler_;
    std::map<std::uint8_t, Handler> handlers_;
    std::map<std::pair<std::uint8_t, std::uint8_t>, Handler> selectorHandlers_;
    std::map<std::uint8_t, Handler> observers_;
    std::map<std::uint8_t, PayloadBuilder> writeBuilders_;
    std::optional<Frame> lastFrame_;
    Bytes lastRequest_;
    bool lastEchoIsNoAnswer_ = false;
    bool reserved_ = false;
};

// The device to open for a port-list item: its data when set, else its text.
QString portDevice(const QComboBox* ports, int index);

} // namespace torl7
