// A serial port behind an Ethernet serial server over Telnet with COM-port control
// ("rfc2217://HOST:PORT"): the tool sets the server's serial side to its own speed and 8N1,
// and every later speed change (the search's steps, the RS485 speed change, the speed box)
// is confirmed by the server before the next bytes go out. A server that does not offer the
// option is named as such, with tcp:// suggested.
#pragma once

#include "protocol/com_port_client.hpp"
#include "session/tcp_line.hpp"

#include <QTimer>

#include <memory>

namespace torl7 {

class Rfc2217Line final : public TcpLine {
    Q_OBJECT
public:
    // The longest a speed change holds the bytes written after it.
    static constexpr int kConfirmTimeoutMs = 3000;

    explicit Rfc2217Line(QObject* parent = nullptr);
    ~Rfc2217Line() override;

    void setBaudRate(qint32 baud) override;
    bool write(const QByteArray& bytes) override;
    QByteArray readAll() override;

protected:
    bool negotiate(qint32 baud, const QDeadlineTimer& deadline) override;
    void takeIncoming() override;

private:
    // Whether the server set the speed asked for; when it set another, the line is dropped
    // (nothing may go out at a speed the tool did not ask for).
    bool speedTaken();

    std::unique_ptr<telnet::ComPortClient> client_;
    QByteArray received_;
    QTimer confirmTimer_;
};

} // namespace torl7
