// Everything the simulated unit remembers between requests. The topic handlers read and
// change it; nothing here does I/O.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

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
    // The unit's clock stands still at this time (of the unit's clock) once a correction
    // stopped it; the next correction without the stop bit starts it again.
    std::optional<std::chrono::sys_seconds> clockStoppedAt;
    // Calibration of the clock, -31..31, and the automatic summer-time changeover, as the
    // last correction set them.
    int clockCalibration = 0;
    bool autoDst = false;

    // When the unit was switched on: measurements move, and energy and running time grow,
    // from here.
    std::chrono::system_clock::time_point poweredOn{};
    // Fault conditions the unit sees on its inputs (see sim/measurements.hpp): one bit per
    // condition. Each condition's protection picks up, counts its delay down and trips.
    std::uint16_t conditions = 0;
    // When the conditions began to count; a protection reset starts the count again.
    std::chrono::system_clock::time_point conditionsSince{};
};

} // namespace torl7::sim
