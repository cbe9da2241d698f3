// The topic handlers of the simulated unit. Each takes the request's payload and the unit's
// state and returns the answer's payload, or nothing when the unit stays silent. The model
// wraps the payload into a frame with the request's command as the response code.
#pragma once

#include "link/encodings.hpp"
#include "sim/clock.hpp"
#include "sim/unit_state.hpp"

#include <optional>

namespace torl7::sim {

struct HandlerContext {
    UnitState& state;
    const Clock& clock;
};

using Answer = std::optional<Bytes>;

// Command 0: a ping (empty payload) or a speed-set request (one byte, the speed index).
Answer handleLinkRequest(HandlerContext& unit, const PayloadReader& request);

// Command 5: protection reset.
Answer handleProtectionReset(HandlerContext& unit, const PayloadReader& request);

// Command 6: one block of the event protocol, payload byte 0 its number (0..9).
Answer handleEventBlock(HandlerContext& unit, const PayloadReader& request);

// Commands 7 and 8: the accounting record; 8 resets it first, counting from the unit's time.
Answer handleAccountingRead(HandlerContext& unit, const PayloadReader& request);
Answer handleAccountingReset(HandlerContext& unit, const PayloadReader& request);

// What a unit in service has counted when the simulation starts.
AccountingRecord initialAccounting();

} // namespace torl7::sim
