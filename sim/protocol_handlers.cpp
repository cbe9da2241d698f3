// The event protocol, handed out one block of ten records at a time.
#include "sim/handlers.hpp"

namespace torl7::sim {

Answer handleEventBlock(HandlerContext& unit, const PayloadReader& request) {
    const std::uint8_t index = request.byte(0);
    if (request.size() < 1 || index >= kEventBlocks) {
        return std::nullopt; // no such block
    }
    return unit.state.protocol.block(index);
}

} // namespace torl7::sim
