#include "raw_client.hpp"

#include "sim/line_settings.hpp"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace torl7::sim::testing {

namespace {

speed_t standardRate(int baud) {
    switch (baud) {
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

using Clock = std::chrono::steady_clock;

} // namespace

RawClient::RawClient(const std::string& path, int baud) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        throw std::runtime_error("cannot open " + path);
    }
    termios settings{};
    ::tcgetattr(fd_, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(fd_, TCSANOW, &settings);
    setSpeed(baud);
}

RawClient::~RawClient() {
    ::close(fd_);
}

void RawClient::setSpeed(int baud) {
    if (const speed_t rate = standardRate(baud); rate != B0) {
        termios settings{};
        ::tcgetattr(fd_, &settings);
        ::cfsetspeed(&settings, rate);
        ::tcsetattr(fd_, TCSANOW, &settings);
    } else if (!writeLineSpeedBaud(fd_, baud)) {
        throw std::runtime_error("cannot set " + std::to_string(baud) + " baud");
    }
}

void RawClient::write(const Bytes& bytes) {
    lastWrite_ = Clock::now();
    if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        throw std::runtime_error("short write");
    }
}

std::vector<Arrival> RawClient::readUntilQuiet(std::chrono::milliseconds quiet,
                                               std::chrono::milliseconds limit) {
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    std::vector<Arrival> arrivals;
    const auto start = Clock::now();
    auto last = start;
    for (;;) {
        const auto now = Clock::now();
        const auto wait = std::min(quiet - duration_cast<milliseconds>(now - last),
                                   limit - duration_cast<milliseconds>(now - start));
        if (wait <= milliseconds{0}) {
            return arrivals;
        }
        pollfd in{fd_, POLLIN, 0};
        if (::poll(&in, 1, static_cast<int>(wait.count())) <= 0 || !(in.revents & POLLIN)) {
            continue;
        }
        Bytes buffer(512);
        const ssize_t got = ::read(fd_, buffer.data(), buffer.size());
        if (got <= 0) {
            return arrivals;
        }
        buffer.resize(static_cast<std::size_t>(got));
        last = Clock::now();
        arrivals.push_back({duration_cast<milliseconds>(last - lastWrite_), std::move(buffer)});
    }
}

Bytes RawClient::exchange(const Bytes& request, std::chrono::milliseconds quiet) {
    write(request);
    return joined(readUntilQuiet(quiet, std::chrono::milliseconds{3000}));
}

bool RawClient::seesHangUp(std::chrono::milliseconds limit) {
    pollfd in{fd_, POLLIN, 0};
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        if (::poll(&in, 1, 50) > 0) {
            if (in.revents & (POLLHUP | POLLERR)) {
                return true;
            }
            char byte;
            const ssize_t got = ::read(fd_, &byte, 1);
            if (got == 0 || (got < 0 && errno == EIO)) {
                return true;
            }
        }
    }
    return false;
}

Bytes joined(const std::vector<Arrival>& arrivals) {
    Bytes all;
    for (const auto& arrival : arrivals) {
        all.insert(all.end(), arrival.bytes.begin(), arrival.bytes.end());
    }
    return all;
}

} // namespace torl7::sim::testing
