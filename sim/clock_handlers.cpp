// Clock correction, protection reset and firmware version.
#include "sim/handlers.hpp"

namespace torl7::sim {

Answer handleProtectionReset(HandlerContext&, const PayloadReader&) {
    // The tool takes any answer with code 5 as done; the unit sends no payload.
    return Bytes{};
}

} // namespace torl7::sim
