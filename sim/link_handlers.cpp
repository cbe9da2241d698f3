// Command 0. The tool's device search pings at every speed until one is answered; the RS485
// speed change pings, sends the new speed index, and pings again at the new speed when the
// first answer asked it to follow.
#include "sim/handlers.hpp"

#include "protocol/line_speed.hpp"

namespace torl7::sim {

bool setBusSpeed(UnitState& state, int speedIndex) {
    const int baud = baudForIndex(speedIndex);
    if (baud == 0) {
        return false;
    }
    state.record.rs485SpeedIndex = static_cast<std::uint8_t>(speedIndex);
    if (state.askToFollowSpeedChange) {
        // The serving loop switches the line once the answer has left at the old speed.
        state.lineSpeedBaud = baud;
    }
    return true;
}

Answer handleLinkRequest(HandlerContext& unit, const PayloadReader& request) {
    UnitState& state = unit.state;
    const std::uint8_t busSpeed = state.record.rs485SpeedIndex;
    if (request.size() == 0) {
        // The tool reads only the length: 1 asks it to follow a speed change, any other
        // non-zero length lets it keep its speed. The bytes carry the bus speed index.
        if (state.askToFollowSpeedChange) {
            return Bytes{busSpeed};
        }
        return Bytes{busSpeed, 0};
    }
    if (request.size() != 1) {
        return std::nullopt;
    }
    if (!setBusSpeed(state, request.byte(0))) {
        return std::nullopt; // no such speed: the unit keeps its own and stays silent
    }
    return Bytes{request.byte(0)};
}

} // namespace torl7::sim
