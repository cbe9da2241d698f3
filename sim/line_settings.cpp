#include "sim/line_settings.hpp"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace torl7::sim {

namespace {

bool get(int fd, termios2& settings) {
    return ioctl(fd, TCGETS2, &settings) == 0;
}

} // namespace

std::optional<int> readLineSpeedBaud(int fd) {
    termios2 settings{};
    if (!get(fd, settings)) {
        return std::nullopt;
    }
    // The kernel keeps the rate in c_ospeed for fixed and custom rates alike.
    return static_cast<int>(settings.c_ospeed);
}

bool writeLineSpeedBaud(int fd, int baud) {
    termios2 settings{};
    if (baud <= 0 || !get(fd, settings)) {
        return false;
    }
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ospeed = static_cast<speed_t>(baud);
    settings.c_ispeed = static_cast<speed_t>(baud);
    return ioctl(fd, TCSETS2, &settings) == 0;
}

bool makeRaw(int fd) {
    termios2 settings{};
    if (!get(fd, settings)) {
        return false;
    }
    settings.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    settings.c_oflag &= ~OPOST;
    settings.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return ioctl(fd, TCSETS2, &settings) == 0;
}

bool drainOutput(int fd) {
    return ioctl(fd, TCSBRK, 1) == 0;
}

} // namespace torl7::sim
