// The configuration store: kind 2 returns the 80-byte record, kind 3 sub-mode 0 replaces it.
#include "sim/handlers.hpp"

#include <algorithm>

namespace torl7::sim {

namespace {

void applyLimits(const UnitState& state, ConfigRecord& record) {
    if (state.uminLimitVolts) {
        record.uminVolts = std::min(record.uminVolts, *state.uminLimitVolts);
    }
    if (state.coefficientLimit) {
        for (auto& coefficient : record.coefficients) {
            coefficient = std::min(coefficient, *state.coefficientLimit);
        }
    }
}

} // namespace

Answer handleConfigRead(HandlerContext& unit, const PayloadReader&) {
    const auto record = encodeConfigRecord(unit.state.record);
    return Bytes(record.begin(), record.end());
}

Answer handleConfigWrite(HandlerContext& unit, const PayloadReader& request) {
    if (request.size() < 1 + kConfigRecordSize) {
        return std::nullopt; // a cut record is not stored
    }
    ConfigRecord record = decodeConfigRecord(request.bytes(1, kConfigRecordSize));
    applyLimits(unit.state, record);
    const int busSpeed = record.rs485SpeedIndex;
    record.rs485SpeedIndex = unit.state.record.rs485SpeedIndex;
    unit.state.record = record;
    if (busSpeed != record.rs485SpeedIndex) {
        setBusSpeed(unit.state, busSpeed); // an index that names no speed is not taken
    }
    return Bytes{kWriteSubModeConfig};
}

} // namespace torl7::sim
