#include "sim/posix_transport.hpp"

#include "sim/line_settings.hpp"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace torl7::sim {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

constexpr std::chrono::milliseconds kWriteStallLimit{2000};
constexpr std::chrono::milliseconds kHangUpReadTime{500};
constexpr std::chrono::milliseconds kHangUpSettleTime{50};

} // namespace

FdChannel::FdChannel() {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        fail("pipe");
    }
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
}

FdChannel::~FdChannel() {
    close();
    closeFd(wakeRead_);
    closeFd(wakeWrite_);
}

void FdChannel::attach(int fd) {
    close();
    fd_ = fd;
}

void FdChannel::close() {
    closeFd(fd_);
}

void FdChannel::interrupt() {
    const char token = 1;
    [[maybe_unused]] const auto written = ::write(wakeWrite_, &token, 1);
}

std::optional<Bytes> FdChannel::read(std::chrono::milliseconds timeout) {
    if (fd_ < 0) {
        return std::nullopt;
    }
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    const int ready = ::poll(fds, 2, static_cast<int>(timeout.count()));
    if (ready < 0) {
        return errno == EINTR ? std::optional<Bytes>(Bytes{}) : std::nullopt;
    }
    if (fds[1].revents & POLLIN) {
        char drain[64];
        while (::read(wakeRead_, drain, sizeof drain) > 0) {
        }
        return Bytes{};
    }
    if (ready == 0) {
        return Bytes{};
    }
    if (fds[0].revents & POLLNVAL) {
        return std::nullopt;
    }
    Bytes buffer(4096);
    const ssize_t got = ::read(fd_, buffer.data(), buffer.size());
    if (got > 0) {
        buffer.resize(static_cast<std::size_t>(got));
        return buffer;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return Bytes{};
    }
    return std::nullopt; // end of file or a read error: the line is gone
}

bool FdChannel::write(ByteSpan bytes, std::chrono::milliseconds stallLimit) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        pollfd out{fd_, POLLOUT, 0};
        const int ready = ::poll(&out, 1, static_cast<int>(stallLimit.count()));
        if (ready == 0) {
            return true; // nobody takes the bytes: they are lost, the line stays
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

PtyTransport::PtyTransport(int initialSpeedBaud) : speedForNewLine_(initialSpeedBaud) {
    open();
}

PtyTransport::~PtyTransport() {
    closeSlave();
}

void PtyTransport::closeSlave() {
    closeFd(slave_);
}

void PtyTransport::open() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        fail("posix_openpt");
    }
    master_.attach(master);
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        fail("unlockpt");
    }
    char name[128];
    if (::ptsname_r(master, name, sizeof name) != 0) {
        fail("ptsname");
    }
    path_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        fail("open " + path_);
    }
    // Until the tool sets up its side, the slave must not echo or translate the unit's bytes.
    if (!makeRaw(slave_) || !writeLineSpeedBaud(slave_, speedForNewLine_)) {
        fail("line settings of " + path_);
    }
    const int flags = ::fcntl(master, F_GETFL);
    ::fcntl(master, F_SETFL, flags | O_NONBLOCK);
}

std::optional<Bytes> PtyTransport::read(std::chrono::milliseconds timeout) {
    return master_.read(timeout);
}

bool PtyTransport::write(ByteSpan bytes) {
    return master_.write(bytes, kWriteStallLimit);
}

std::optional<int> PtyTransport::lineSpeedBaud() {
    return readLineSpeedBaud(slave_);
}

bool PtyTransport::hangUp() {
    // Closing the master is the pseudo-terminal's hang-up: the tool's handle reports the line
    // gone. The old path dies with it, so the unit comes back on a new one. The hang-up
    // discards what the tool has not read yet, so the cut answer is given time to be read.
    // The bytes reach the tool's input queue a little after the write, so the queue is
    // watched for a while before it counts as read.
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        int waiting = 0;
        const auto elapsed = std::chrono::steady_clock::now() - start;
        if (::ioctl(slave_, FIONREAD, &waiting) != 0 || elapsed >= kHangUpReadTime ||
            (waiting == 0 && elapsed >= kHangUpSettleTime)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds{5});
    }
    master_.close();
    closeSlave();
    try {
        open();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

DeviceTransport::DeviceTransport(std::string path, int speedBaud) : path_(std::move(path)) {
    const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        fail("open " + path_);
    }
    port_.attach(fd);
    if (::ioctl(fd, TIOCEXCL) != 0 || !makeRaw(fd) || !writeLineSpeedBaud(fd, speedBaud)) {
        fail("line settings of " + path_);
    }
    ::ioctl(fd, TCFLSH, 2); // drop whatever the driver held from before
}

std::optional<Bytes> DeviceTransport::read(std::chrono::milliseconds timeout) {
    return port_.read(timeout);
}

bool DeviceTransport::write(ByteSpan bytes) {
    return port_.write(bytes, kWriteStallLimit) && drainOutput(port_.fd());
}

std::optional<int> DeviceTransport::lineSpeedBaud() {
    return readLineSpeedBaud(port_.fd());
}

void DeviceTransport::setLineSpeedBaud(int baud) {
    drainOutput(port_.fd());
    writeLineSpeedBaud(port_.fd(), baud);
}

bool DeviceTransport::hangUp() {
    // Ports without modem lines (and pseudo-terminals) refuse these calls; the hang-up is
    // then only the cut answer.
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(port_.fd(), TIOCMBIC, &lines) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds{500});
        ::ioctl(port_.fd(), TIOCMBIS, &lines);
    }
    return port_.fd() >= 0;
}

} // namespace torl7::sim
