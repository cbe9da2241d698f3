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

// Command 1 with selector 4: one raw calibration sample, the readings that the inputs give
// with the unit's true coefficients. The other selectors (snapshot, waveforms) are silent here.
Answer handleCalibrationSample(HandlerContext& unit, const PayloadReader& request);

// Command 2: the stored configuration record.
Answer handleConfigRead(HandlerContext& unit, const PayloadReader& request);

// Command 3: sub-mode 0 stores a configuration record, sub-mode 1 the seven calibration
// coefficients (and blocks the protection). Values the unit refuses keep their old value.
Answer handleWrite(HandlerContext& unit, const PayloadReader& request);

// Command 5: protection reset.
Answer handleProtectionReset(HandlerContext& unit, const PayloadReader& request);

} // namespace torl7::sim
