// Clock correction, protection reset and firmware version.
#include "sim/handlers.hpp"

#include "protocol/codecs/clock_codec.hpp"
#include "protocol/codecs/version_codec.hpp"

namespace torl7::sim {

Answer handleClockCorrection(HandlerContext& unit, const PayloadReader& request) {
    if (request.size() < kClockCorrectionSize) {
        return std::nullopt;
    }
    const ClockCorrection correction =
        decodeClockCorrection(request.bytes(0, kClockCorrectionSize));
    UnitClock& clock = unit.state.clock;
    setUnitClock(clock, correction.clock, unit.clock.now());
    clock.calibration = correction.calibration;
    clock.autoDst = correction.autoDst;
    // The tool takes any answer with code 4 as done.
    return Bytes{};
}

Answer handleProtectionReset(HandlerContext& unit, const PayloadReader&) {
    // While the lock after a trip runs the reset does nothing; the unit answers all the same,
    // and the snapshot shows the protection still tripped and the lock counting down. The
    // tool takes any answer with code 5 as done; there is no payload.
    unit.state.plant.reset(unit.clock.now(), unit.state.record);
    return Bytes{};
}

Answer handleVersion(HandlerContext& unit, const PayloadReader&) {
    return encodeVersionText(unit.state.versionText);
}

} // namespace torl7::sim
