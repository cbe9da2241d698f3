// Command 0. The tool's device search pings at every speed until one is answered; the RS485
// speed change pings, sends the new speed index, and pings again at the new speed when the
// first answer asked it to follow.
#include "sim/handlers.hpp"

#include "sim/speed_table.hpp"

namespace torl7::sim {

Answer handleLinkRequest(HandlerContext& unit, const PayloadReader& request) {
    UnitState& state = unit.state;
    if (request.size() == 0) {
        // The tool reads only the length: 1 asks it to follow a speed change, any other
        // non-zero length lets it keep its speed. The bytes carry the bus speed index.
        const auto index = static_cast<std::uint8_t>(state.rs485SpeedIndex);
        if (state.askToFollowSpeedChange) {
            return Bytes{index};
        }
        return Bytes{index, 0};
    }
    if (request.size() != 1) {
        return std::nullopt;
    }
    const int index = request.byte(0);
    const int baud = baudForIndex(index);
    if (baud == 0) {
        return std::nullopt; // no such speed: the unit keeps its own and stays silent
    }
    state.rs485SpeedIndex = index;
    if (state.askToFollowSpeedChange) {
        // The answer still goes out at the old speed; the serving loop switches after it.
        state.lineSpeedBaud = baud;
    }
    return Bytes{static_cast<std::uint8_t>(index)};
}

} // namespace torl7::sim
