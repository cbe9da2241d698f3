// The simulated unit behind an Ethernet serial server: it listens on a TCP port and serves
// one client at a time, in raw mode (the serial speed fixed in the server, as configured) or
// over RFC 2217 (the client sets the speed). A second client is refused: its connection is
// closed as soon as it is taken, as a serial server with one user allowed does. When a client
// goes, the unit waits for the next. Sockets only, so the same code serves on Windows, where
// there are no pseudo-terminals.
#pragma once

#include "protocol/line_endpoint.hpp"
#include "sim/com_port_server.hpp"
#include "sim/transport.hpp"

#include <atomic>
#include <cstdint>
#include <memory>

namespace torl7::sim {

class TcpTransport final : public Transport {
public:
    enum class Mode : std::uint8_t { Raw, Rfc2217 };

    // Listens on `where` (port 0: a free port, which portPath() names). `serverSpeedBaud` is
    // the speed of the server's serial side, fixed in raw mode, the starting one over RFC
    // 2217. Throws std::system_error when the address cannot be listened on.
    // `byteGap` not zero: each byte sent leaves alone, this long after the one before.
    TcpTransport(const HostPort& where, Mode mode, int serverSpeedBaud,
                 std::chrono::milliseconds byteGap = {});
    ~TcpTransport() override;
    TcpTransport(const TcpTransport&) = delete;
    TcpTransport& operator=(const TcpTransport&) = delete;

    // tcp://HOST:PORT or rfc2217://HOST:PORT.
    std::string portPath() const override { return path_; }
    std::optional<Bytes> read(std::chrono::milliseconds timeout) override;
    // The bytes go to the client; with none connected they are lost, as on a line nobody
    // listens to.
    bool write(ByteSpan bytes) override;
    std::optional<int> lineSpeedBaud() override;
    // The server's serial side keeps its speed: a unit that moves is lost until the server
    // is set up again (raw), or until the client asks for the new speed (RFC 2217).
    void setLineSpeedBaud(int) override {}
    // Closes the client's connection, as a server that is switched off; the unit then waits
    // for the next client on the same address.
    bool hangUp() override;
    void interrupt() override { interrupted_ = true; }

private:
    struct Sockets;
    void acceptWaiting();
    void dropClient();
    // What the client sent, for the unit; empty when it went.
    Bytes receiveFromClient();
    bool sendAll(const Bytes& bytes);

    std::unique_ptr<Sockets> sockets_;
    Mode mode_;
    int serverSpeedBaud_;
    std::chrono::milliseconds byteGap_;
    std::string path_;
    std::unique_ptr<ComPortServer> telnet_; // for the client connected over RFC 2217
    std::atomic<bool> interrupted_{false};
};

} // namespace torl7::sim
