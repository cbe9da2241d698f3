// The eleven line speeds of the unit's ports and the tool's answer timeouts at each of them.
#pragma once

#include <array>
#include <cstdint>

namespace torl7::sim {

inline constexpr std::array<int, 11> kLineSpeedsBaud{300,   600,   1200,  2400,  4800,  9600,
                                                     14400, 19200, 38400, 57600, 115200};

// 300, 600, ... 115200 for the indices 0..10; 0 for an index that names no speed.
inline int baudForIndex(int index) {
    return index >= 0 && index < static_cast<int>(kLineSpeedsBaud.size()) ? kLineSpeedsBaud[index]
                                                                          : 0;
}

// The index of a speed of the list; -1 for any other rate.
inline int indexForBaud(int baud) {
    for (int i = 0; i < static_cast<int>(kLineSpeedsBaud.size()); ++i) {
        if (kLineSpeedsBaud[i] == baud) {
            return i;
        }
    }
    return -1;
}

// How long the tool waits for an answer at a line speed; a write (kind 3) waits 500 ms more.
inline int responseTimeoutMs(int speedIndex, std::uint8_t requestKind) {
    static constexpr std::array<int, 6> kSlow{10000, 5000, 2500, 1250, 625, 350};
    int ms = speedIndex >= 0 && speedIndex < 6 ? kSlow[speedIndex] : 300;
    return requestKind == 3 ? ms + 500 : ms;
}

} // namespace torl7::sim
