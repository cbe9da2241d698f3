#include "link/line_speed.hpp"

#include <array>

namespace torl7 {

namespace {
constexpr std::array<int, kSpeedCount> kBaud = {300,   600,   1200,  2400,  4800,  9600,
                                                14400, 19200, 38400, 57600, 115200};
constexpr std::array<int, 6> kTimeoutMs = {10000, 5000, 2500, 1250, 625, 350};
constexpr int kFastTimeoutMs = 300;
constexpr int kWriteExtraMs = 500;
} // namespace

int baudForIndex(int index) {
    return index >= 0 && index < kSpeedCount ? kBaud[static_cast<std::size_t>(index)] : 0;
}

int indexForBaud(int baud) {
    for (int i = 0; i < kSpeedCount; ++i) {
        if (kBaud[static_cast<std::size_t>(i)] == baud) {
            return i;
        }
    }
    return -1;
}

int responseTimeoutMs(int speedIndex, std::uint8_t requestKind) {
    int ms = speedIndex >= 0 && speedIndex < static_cast<int>(kTimeoutMs.size())
                 ? kTimeoutMs[static_cast<std::size_t>(speedIndex)]
                 : kFastTimeoutMs;
    if (requestKind == 3) {
        ms += kWriteExtraMs;
    }
    return ms;
}

} // namespace torl7
