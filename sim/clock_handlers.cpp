// Clock correction, protection reset and firmware version.
#include "config/clock_codec.hpp"
#include "config/version_codec.hpp"
#include "sim/handlers.hpp"

#include <chrono>

namespace torl7::sim {

namespace {
// What the unit's microcontroller program calls itself: 16 characters, blank-padded.
constexpr std::string_view kVersionText = "ТОРЛ-7 v3.12";
} // namespace

Answer handleClockCorrection(HandlerContext& unit, const PayloadReader& request) {
    if (request.size() < kClockCorrectionSize) {
        return std::nullopt; // an incomplete block is not taken
    }
    const ClockCorrection correction =
        decodeClockCorrection(request.bytes(0, kClockCorrectionSize));
    const ClockBlock& c = correction.clock;
    using namespace std::chrono;
    const year_month_day date{year{2000 + c.year}, month{static_cast<unsigned>(c.month)},
                              day{static_cast<unsigned>(c.day)}};
    if (!date.ok() || c.hours > 23 || c.minutes > 59 || c.seconds > 59) {
        return std::nullopt; // the unit refuses a time its clock cannot hold
    }
    const sys_seconds set =
        sys_days{date} + hours{c.hours} + minutes{c.minutes} + seconds{c.seconds};
    UnitState& state = unit.state;
    state.clockCalibration = correction.calibration;
    state.autoDst = correction.autoDst;
    if (c.stopped) {
        state.clockStoppedAt = set;
    } else {
        state.clockStoppedAt.reset();
        state.clockOffset = set - floor<seconds>(unit.clock.now());
    }
    // The tool takes any answer with code 4 as done; the unit sends no payload.
    return Bytes{};
}

Answer handleProtectionReset(HandlerContext& unit, const PayloadReader&) {
    // Tripped protections fall back; conditions still present pick up and count again.
    unit.state.conditionsSince = unit.clock.now();
    // The tool takes any answer with code 5 as done; the unit sends no payload.
    return Bytes{};
}

Answer handleVersion(HandlerContext&, const PayloadReader&) {
    return encodeVersionText(kVersionText);
}

} // namespace torl7::sim
