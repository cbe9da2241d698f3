// Everything the simulated unit remembers between requests. The topic handlers read and
// change it; nothing here does I/O.
#pragma once

#include "protocol/codecs/config_record_codec.hpp"
#include "sim/clock.hpp"
#include "sim/event_protocol.hpp"
#include "sim/plant.hpp"
#include "sim/wave_shape.hpp"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace torl7::sim {

inline constexpr std::uint16_t kDefaultFactoryNumber = 600;
inline constexpr int kDefaultLineSpeedBaud = 115200;
inline constexpr const char* kDefaultVersionText = "ТОРЛ-7 v2.04";

// The quantities applied to the unit's inputs, in channel order Ua, Ub, Uc (V), Ia, Ib, Ic,
// leakage (A). Measurements and calibration samples are made from them.
using InputQuantities = std::array<double, kCoefficientCount>;
inline constexpr InputQuantities kDefaultInputs = {230.0, 230.0, 230.0, 12.0, 12.0, 12.0, 0.5};

// The unit's real-time clock: it runs from the PC's clock shifted by what the last correction
// set, or stands still at the time it was stopped.
struct UnitClock {
    std::chrono::seconds offset{0};
    bool stopped = false;
    WallTime stoppedAt{};
    int calibration = 0; // -31..31, kept and reported back
    bool autoDst = false;
};

struct UnitState {
    std::uint16_t factoryNumber = kDefaultFactoryNumber;
    // The speed of the line the unit answers on. A request that arrives at any other speed is
    // garbage to the unit and is not answered.
    int lineSpeedBaud = kDefaultLineSpeedBaud;
    // When set, the tool is on the unit's RS485 bus: the answer to a ping asks it to follow a
    // speed change (payload length 1), and a new bus speed (speed-set request or
    // configuration write) moves the line the unit answers on. When clear, the tool is on the
    // service port, which the bus speed leaves alone.
    bool askToFollowSpeedChange = false;
    // The stored configuration; its RS485 speed index is the bus speed.
    ConfigRecord record;
    std::string versionText = kDefaultVersionText;
    UnitClock clock;
    InputQuantities inputs = kDefaultInputs;
    WaveShape wave;
    // Refusals, so that a read-back can differ from what was written: a Umin threshold above
    // the limit is stored as the limit, and so is a calibration coefficient.
    std::optional<std::uint16_t> uminLimitVolts;
    std::optional<std::uint16_t> coefficientLimit;
    // The supervised motor and the protections; replaced when the model starts.
    Plant plant{WallTime{}, {}, 1};
    EventProtocol protocol;
};

// The unit's clock at the PC time `pcNow`.
WallTime unitTime(const UnitClock& clock, WallTime pcNow);

// The clock registers at `time` in the PC's local time zone, the year within the century.
ClockBlock clockRegisters(WallTime time, bool stopped);

// Sets the clock so that it reads `registers` (local time, year within 2000..2099) at the PC
// time `pcNow`; a set stop bit stops it there.
void setUnitClock(UnitClock& clock, const ClockBlock& registers, WallTime pcNow);

} // namespace torl7::sim
