// The topic handlers of the simulated unit. Each takes the request's payload and the unit's
// state and returns the answer's payload, or nothing when the unit stays silent. The model
// wraps the payload into a frame with the request's command as the response code.
#pragma once

#include "protocol/encodings.hpp"
#include "sim/clock.hpp"
#include "sim/unit_state.hpp"

#include <optional>

namespace torl7::sim {

struct HandlerContext {
    UnitState& state;
    const Clock& clock;
};

using Answer = std::optional<Bytes>;
using Handler = Answer (*)(HandlerContext&, const PayloadReader&);

// Command 0: a ping (empty payload) or a speed-set request (one byte, the speed index).
Answer handleLinkRequest(HandlerContext& unit, const PayloadReader& request);

// Command 1, selectors 0 (status snapshot), 1..3 and 17..19 (waveform block of a phase).
Answer handleDiagnostics(HandlerContext& unit, const PayloadReader& request);

// Command 6: one block of the event protocol.
Answer handleEventBlock(HandlerContext& unit, const PayloadReader& request);
// Command 7: the accounting record; command 8: reset it, then the same.
Answer handleAccountingRead(HandlerContext& unit, const PayloadReader& request);
Answer handleAccountingReset(HandlerContext& unit, const PayloadReader& request);

// Command 2: the stored configuration record.
Answer handleConfigRead(HandlerContext& unit, const PayloadReader& request);
// Command 3, sub-mode 0: store a configuration record.
Answer handleConfigWrite(HandlerContext& unit, const PayloadReader& request);

// Command 1, selector 4: one raw reading of every measuring channel.
Answer handleCalibrationSample(HandlerContext& unit, const PayloadReader& request);
// Command 3, sub-mode 1: store the seven calibration coefficients and block the protection.
Answer handleCoefficientWrite(HandlerContext& unit, const PayloadReader& request);

// Command 4: clock correction.
Answer handleClockCorrection(HandlerContext& unit, const PayloadReader& request);
// Command 5: protection reset.
Answer handleProtectionReset(HandlerContext& unit, const PayloadReader& request);
// Command 15: firmware version text.
Answer handleVersion(HandlerContext& unit, const PayloadReader& request);

// A new bus speed index: stored, and in follow mode the line moves to it too (after the
// answer has gone out). False for an index that names no speed.
bool setBusSpeed(UnitState& state, int speedIndex);

// Measurements in the units of the snapshot and the event record.
std::uint16_t wholeVolts(double volts);
std::uint16_t tenthsAmp(double amps);
std::uint8_t cosFByte(double cosF);

// The event the unit records when `protection` trips with the measurements `m`.
EventRecord eventRecord(const ClockBlock& at, Protection protection, const Measurements& m);

} // namespace torl7::sim
