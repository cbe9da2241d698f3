// The accounting record; a reset answers with the record as it is after the reset.
#include "sim/handlers.hpp"

namespace torl7::sim {

Answer handleAccountingRead(HandlerContext& unit, const PayloadReader&) {
    return encodeAccounting(unit.state.plant.accounting());
}

Answer handleAccountingReset(HandlerContext& unit, const PayloadReader&) {
    const ClockBlock now = clockRegisters(unitTime(unit.state.clock, unit.clock.now()), false);
    unit.state.plant.resetAccounting(
        ClockStamp{now.seconds, now.minutes, now.hours, now.day, now.month, now.year});
    return encodeAccounting(unit.state.plant.accounting());
}

} // namespace torl7::sim
