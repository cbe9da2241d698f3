// A serial port behind an Ethernet serial server in its raw TCP mode ("tcp://HOST:PORT"):
// bytes in, bytes out, the serial speed fixed in the server. The tool still keeps its own
// speed for every timeout and wire-time rule. Failures say what happened, by name: the host
// not found, the connection refused, no connection within the bound, the server closing the
// connection (a lost line naming host:port). Keep-alive is on, so a server that went dead is
// noticed during a long poll.
#pragma once

#include "protocol/line_endpoint.hpp"
#include "session/serial_line.hpp"

#include <QDeadlineTimer>
#include <QTcpSocket>

namespace torl7 {

class TcpLine : public SerialLine {
    Q_OBJECT
public:
    // The longest open() waits for the name, the connection and (RFC 2217) the negotiation.
    static constexpr int kConnectTimeoutMs = 3000;

    explicit TcpLine(QObject* parent = nullptr);
    ~TcpLine() override;

    bool isOpen() const override { return open_; }
    // `portName` is the endpoint text; `baud` is kept for the tool's timeouts.
    bool open(const QString& portName, qint32 baud) override;
    void close() override;
    void setBaudRate(qint32 baud) override { baud_ = baud; }
    qint32 baudRate() const override { return baud_; }
    bool write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    QString errorString() const override { return error_; }

protected:
    // Runs once the connection stands, before open() returns; false (with error_ set) fails
    // the open.
    virtual bool negotiate(qint32 baud, const QDeadlineTimer& deadline);
    // Bytes have arrived on the socket.
    virtual void takeIncoming();

    // Writes to the socket now; false when the connection did not take them.
    bool sendRaw(const QByteArray& bytes);
    bool sendRaw(const std::vector<std::uint8_t>& bytes);
    // Waits for bytes until the deadline; they go through takeIncoming(). False on the
    // deadline or when the connection went.
    bool waitForBytes(const QDeadlineTimer& deadline);
    // Closes the line and says why (the line is lost).
    void drop(const QString& reason);
    // "host:port" of the server.
    QString where() const;
    bool opening() const { return opening_; }

    QTcpSocket socket_;
    QString error_;
    qint32 baud_ = 115200;

private:
    bool connectTo(const HostPort& server, const QDeadlineTimer& deadline);
    void onDisconnected();

    HostPort server_;
    bool open_ = false;
    bool opening_ = false;
};

} // namespace torl7
