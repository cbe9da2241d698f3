#include "sim/tcp_transport.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace torl7::sim {

namespace {

#ifdef _WIN32
using Handle = SOCKET;
using PollEntry = WSAPOLLFD;
constexpr Handle kNone = INVALID_SOCKET;
int closeHandle(Handle h) {
    return ::closesocket(h);
}
int pollHandles(PollEntry* entries, std::size_t count, int ms) {
    return ::WSAPoll(entries, static_cast<ULONG>(count), ms);
}
int lastError() {
    return ::WSAGetLastError();
}
constexpr int kSendFlags = 0;
#else
using Handle = int;
using PollEntry = pollfd;
constexpr Handle kNone = -1;
int closeHandle(Handle h) {
    return ::close(h);
}
int pollHandles(PollEntry* entries, std::size_t count, int ms) {
    return ::poll(entries, static_cast<nfds_t>(count), ms);
}
int lastError() {
    return errno;
}
// A client gone while the unit writes is not a reason for the process to die.
constexpr int kSendFlags = MSG_NOSIGNAL;
#endif

// A read waits in slices this long, so that interrupt() is seen soon.
constexpr int kSliceMs = 20;
// A client that takes no bytes for this long is dropped.
constexpr int kSendStallMs = 2000;

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(lastError(), std::system_category(), what);
}

void closeQuietly(Handle& h) {
    if (h != kNone) {
        closeHandle(h);
        h = kNone;
    }
}

} // namespace

struct TcpTransport::Sockets {
    Handle listener = kNone;
    Handle client = kNone;
#ifdef _WIN32
    bool started = false;
#endif
    ~Sockets() {
        closeQuietly(client);
        closeQuietly(listener);
#ifdef _WIN32
        if (started) {
            ::WSACleanup();
        }
#endif
    }
};

TcpTransport::TcpTransport(const HostPort& where, Mode mode, int serverSpeedBaud,
                           std::chrono::milliseconds byteGap)
    : sockets_(std::make_unique<Sockets>()), mode_(mode), serverSpeedBaud_(serverSpeedBaud),
      byteGap_(byteGap) {
#ifdef _WIN32
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        fail("WSAStartup");
    }
    sockets_->started = true;
#endif
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(where.port);
    if (::getaddrinfo(where.host.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        throw std::system_error(std::make_error_code(std::errc::address_not_available),
                                "listen on " + hostPortText(where));
    }
    Handle& listener = sockets_->listener;
    for (addrinfo* a = found; a && listener == kNone; a = a->ai_next) {
        listener = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (listener == kNone) {
            continue;
        }
        const int yes = 1;
        ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes),
                     sizeof yes);
        if (::bind(listener, a->ai_addr, static_cast<socklen_t>(a->ai_addrlen)) != 0 ||
            ::listen(listener, 4) != 0) {
            closeQuietly(listener);
        }
    }
    ::freeaddrinfo(found);
    if (listener == kNone) {
        fail("listen on " + hostPortText(where));
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &length);
    const auto port = bound.ss_family == AF_INET6
                          ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                          : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    path_ =
        endpointText(mode == Mode::Raw ? LineEndpoint::Kind::RawTcp : LineEndpoint::Kind::Rfc2217,
                     HostPort{where.host, static_cast<std::uint16_t>(port)});
}

TcpTransport::~TcpTransport() = default;

void TcpTransport::acceptWaiting() {
    Handle incoming = ::accept(sockets_->listener, nullptr, nullptr);
    if (incoming == kNone) {
        return;
    }
    if (sockets_->client != kNone) {
        closeQuietly(incoming); // one client at a time
        return;
    }
    const int yes = 1;
    // Each answer leaves as one write, at once.
    ::setsockopt(incoming, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes),
                 sizeof yes);
    sockets_->client = incoming;
    if (mode_ == Mode::Rfc2217) {
        telnet_ = std::make_unique<ComPortServer>(serverSpeedBaud_);
        sendAll(telnet_->start());
    }
}

void TcpTransport::dropClient() {
    closeQuietly(sockets_->client);
    telnet_.reset();
}

std::optional<Bytes> TcpTransport::read(std::chrono::milliseconds timeout) {
    auto left = timeout.count();
    while (!interrupted_.exchange(false)) {
        PollEntry entries[2] = {};
        entries[0].fd = sockets_->listener;
        entries[0].events = POLLIN;
        entries[1].fd = sockets_->client;
        entries[1].events = POLLIN;
        const std::size_t count = sockets_->client == kNone ? 1 : 2;
        const int slice = static_cast<int>(std::min<long long>(left, kSliceMs));
        const int ready = pollHandles(entries, count, slice);
        if (ready < 0 && lastError() != EINTR) {
            return std::nullopt;
        }
        // The client first: one that has just gone makes room for the one knocking.
        std::optional<Bytes> received;
        if (ready > 0 && count == 2 && entries[1].revents != 0) {
            received = receiveFromClient();
        }
        if (ready > 0 && (entries[0].revents & POLLIN)) {
            acceptWaiting();
        }
        if (received) {
            return received;
        }
        left -= slice;
        if (left <= 0) {
            break;
        }
    }
    return Bytes{};
}

Bytes TcpTransport::receiveFromClient() {
    Bytes buffer(4096);
    const auto got = ::recv(sockets_->client, reinterpret_cast<char*>(buffer.data()),
                            static_cast<int>(buffer.size()), 0);
    if (got <= 0) {
        dropClient(); // the client went; the unit waits for the next
        return {};
    }
    buffer.resize(static_cast<std::size_t>(got));
    if (!telnet_) {
        return buffer;
    }
    auto incoming = telnet_->receive(buffer);
    sendAll(incoming.toSend);
    return std::move(incoming.data);
}

bool TcpTransport::sendAll(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size() && sockets_->client != kNone) {
        PollEntry out{};
        out.fd = sockets_->client;
        out.events = POLLOUT;
        const std::size_t size = byteGap_.count() > 0 ? 1 : bytes.size() - done;
        const auto put =
            pollHandles(&out, 1, kSendStallMs) > 0 && (out.revents & POLLOUT)
                ? ::send(sockets_->client, reinterpret_cast<const char*>(bytes.data() + done),
                         static_cast<int>(size), kSendFlags)
                : -1;
        if (put <= 0) {
            dropClient(); // gone, or taking nothing
            return false;
        }
        done += static_cast<std::size_t>(put);
        if (byteGap_.count() > 0) {
            std::this_thread::sleep_for(byteGap_);
        }
    }
    return true;
}

bool TcpTransport::write(ByteSpan bytes) {
    if (sockets_->client == kNone) {
        return true;
    }
    sendAll(telnet_ ? ComPortServer::send(bytes) : Bytes(bytes.begin(), bytes.end()));
    return true;
}

std::optional<int> TcpTransport::lineSpeedBaud() {
    return telnet_ ? telnet_->lineSpeedBaud() : serverSpeedBaud_;
}

bool TcpTransport::hangUp() {
    dropClient();
    return true;
}

} // namespace torl7::sim
