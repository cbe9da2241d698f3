// Everything the simulated unit remembers between requests. The topic handlers read and
// change it; nothing here does I/O.
#pragma once

#include "config/calibration_codec.hpp"
#include "config/config_record_codec.hpp"

#include <array>
#include <chrono>
#include <cstdint>

namespace torl7::sim {

inline constexpr std::uint16_t kDefaultFactoryNumber = 600;
inline constexpr int kDefaultLineSpeedBaud = 115200;
inline constexpr int kDefaultRs485SpeedIndex = 5; // 9600 baud, the unit's delivery setting

// What stands at the seven measuring inputs (Ua, Ub, Uc in V; Ia, Ib, Ic, leakage in A)
// while a calibration sample is taken.
using ChannelQuantities = std::array<double, kCoefficientCount>;
inline constexpr ChannelQuantities kDefaultReferenceInputs{100, 100, 100, 5, 5, 5, 0.5};
// The coefficients that make this unit's channels read true: its own hardware gains. They
// differ a little from the delivery coefficients, so a calibration has something to find.
inline constexpr std::array<std::uint16_t, kCoefficientCount> kTrueCoefficients{566, 574, 570, 204,
                                                                                198, 201, 4960};

struct UnitState {
    std::uint16_t factoryNumber = kDefaultFactoryNumber;
    // The speed of the line the unit answers on. A request that arrives at any other speed is
    // garbage to the unit and is not answered.
    int lineSpeedBaud = kDefaultLineSpeedBaud;
    // The speed index of the unit's RS485 bus port, as a speed-set request left it.
    int rs485SpeedIndex = kDefaultRs485SpeedIndex;
    // When set, the answer to a ping tells the tool to follow a speed change (payload length
    // 1) and a speed-set request moves the line the unit answers on. When clear, the tool is
    // taken to be on the service port, which a speed change of the bus leaves alone.
    bool askToFollowSpeedChange = false;
    // Unit clock minus the PC clock, as the last clock correction left it.
    std::chrono::seconds clockOffset{0};
    // The stored configuration record. Its RS485 index is `rs485SpeedIndex`, kept there.
    ConfigRecord config;
    ChannelQuantities referenceInputs = kDefaultReferenceInputs;
};

} // namespace torl7::sim
