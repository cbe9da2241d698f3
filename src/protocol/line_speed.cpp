#include "protocol/line_speed.hpp"

#include <array>

namespace torl7 {

namespace {

constexpr std::array<int, kSpeedCount> kBaud = {300,   600,   1200,  2400,  4800,  9600,
                                                14400, 19200, 38400, 57600, 115200};

// Answer timeouts of the slow speeds; from index 6 on the 300 ms floor applies.
constexpr std::array<int, 6> kSlowTimeoutMs = {10000, 5000, 2500, 1250, 625, 350};
constexpr int kFloorTimeoutMs = 300;
constexpr int kWriteExtraMs = 500;
constexpr int kFirstNewerUnit = 600;
constexpr int kOlderUnitSpeedIndex = 6;  // 14400
constexpr int kNewerUnitSpeedIndex = 10; // 115200

} // namespace

int baudForIndex(int index) {
    return index >= 0 && index < kSpeedCount ? kBaud[static_cast<std::size_t>(index)] : 0;
}

int indexForBaud(int baud) {
    for (std::size_t i = 0; i < kBaud.size(); ++i) {
        if (kBaud[i] == baud) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int responseTimeoutMs(int speedIndex, RequestKind requestKind) {
    int timeoutMs = kFloorTimeoutMs;
    if (speedIndex >= 0 && speedIndex < static_cast<int>(kSlowTimeoutMs.size())) {
        timeoutMs = kSlowTimeoutMs[static_cast<std::size_t>(speedIndex)];
    }
    if (requestKind == kind::Write) {
        timeoutMs += kWriteExtraMs;
    }
    return timeoutMs;
}

int speedIndexForUnit(int factoryNumber) {
    return factoryNumber >= kFirstNewerUnit ? kNewerUnitSpeedIndex : kOlderUnitSpeedIndex;
}

} // namespace torl7
