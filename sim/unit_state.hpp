// Everything the simulated unit remembers between requests. The topic handlers read and
// change it; nothing here does I/O.
#pragma once

#include "journal/accounting_codec.hpp"
#include "sim/event_protocol.hpp"

#include <chrono>
#include <cstdint>

namespace torl7::sim {

inline constexpr std::uint16_t kDefaultFactoryNumber = 600;
inline constexpr int kDefaultLineSpeedBaud = 115200;
inline constexpr int kDefaultRs485SpeedIndex = 5; // 9600 baud, the unit's delivery setting

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
    // The event protocol as the unit hands it out, block by block.
    EventProtocol events;
    // The accounting record as it stood at `accountingMark` (PC time); the equipment has been
    // running ever since, so running time and energy grow with the clock.
    AccountingRecord accountingAtMark;
    std::chrono::system_clock::time_point accountingMark;
};

} // namespace torl7::sim
