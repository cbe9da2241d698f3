// The configuration store and the calibration readings of the simulated unit.
//
// The unit refuses some values and keeps what it had, as a real unit checks what it stores:
// an undervoltage threshold that is not below the overvoltage threshold (both thresholds stay
// as they were), an RS485 index that names no speed, and a calibration coefficient of 0.
#include "sim/handlers.hpp"

#include "sim/speed_table.hpp"

#include <algorithm>
#include <cmath>

namespace torl7::sim {

namespace {

constexpr std::uint8_t kSubModeConfig = kWriteSubModeConfig;
constexpr std::uint8_t kSubModeCoefficients = kWriteSubModeCoefficients;
constexpr std::uint8_t kProtectionBlockBit = 0x80;
constexpr double kMaxReading = 0xFFFFFF;

bool isCurrentChannel(std::size_t channel) {
    const auto c = static_cast<Channel>(channel);
    return c == Channel::Ia || c == Channel::Ib || c == Channel::Ic;
}

// The raw reading that the true coefficient turns into the applied quantity. The tool
// doubles the current readings before dividing, so a current channel reads half.
std::uint32_t rawReading(std::size_t channel, double applied) {
    double reading = kTrueCoefficients[channel] * applied;
    if (isCurrentChannel(channel)) {
        reading /= 2;
    }
    return static_cast<std::uint32_t>(std::clamp(std::round(reading), 0.0, kMaxReading));
}

void keepRefusedCoefficients(std::array<std::uint16_t, kCoefficientCount>& coefficients,
                             const std::array<std::uint16_t, kCoefficientCount>& stored) {
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        if (coefficients[i] == 0) {
            coefficients[i] = stored[i];
        }
    }
}

Answer storeConfig(UnitState& state, const PayloadReader& request) {
    const Bytes recordBytes = request.bytes(1, kConfigRecordSize);
    ConfigRecord record = decodeConfigRecord(recordBytes);
    const ConfigRecord& stored = state.config;
    if (record.uminVolts >= record.umaxVolts) {
        record.uminVolts = stored.uminVolts;
        record.umaxVolts = stored.umaxVolts;
    }
    if (baudForIndex(record.rs485SpeedIndex) != 0) {
        state.rs485SpeedIndex = record.rs485SpeedIndex;
    }
    keepRefusedCoefficients(record.coefficients, stored.coefficients);
    state.config = record;
    // The tool looks only at the sub-mode of the acknowledgement.
    return Bytes{kSubModeConfig};
}

Answer storeCoefficients(UnitState& state, const PayloadReader& request) {
    auto coefficients = decodeCoefficientWrite(request.bytes(0, kCoefficientWriteSize));
    keepRefusedCoefficients(coefficients, state.config.coefficients);
    state.config.coefficients = coefficients;
    // New coefficients make every measurement suspect until the protection is released.
    state.config.controlByte |= kProtectionBlockBit;
    return encodeCoefficientAck({coefficients, true});
}

} // namespace

Answer handleCalibrationSample(HandlerContext& unit, const PayloadReader& request) {
    if (request.byte(0) != kCalibrationSelector) {
        return std::nullopt;
    }
    CalibrationSample sample;
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        sample.readings[i] = rawReading(i, unit.state.referenceInputs[i]);
    }
    return encodeCalibrationSample(sample);
}

Answer handleConfigRead(HandlerContext& unit, const PayloadReader&) {
    ConfigRecord record = unit.state.config;
    record.rs485SpeedIndex = static_cast<std::uint8_t>(unit.state.rs485SpeedIndex);
    const auto bytes = encodeConfigRecord(record);
    return Bytes(bytes.begin(), bytes.end());
}

Answer handleWrite(HandlerContext& unit, const PayloadReader& request) {
    switch (request.byte(0)) {
    case kSubModeConfig:
        return storeConfig(unit.state, request);
    case kSubModeCoefficients:
        return storeCoefficients(unit.state, request);
    default:
        return std::nullopt;
    }
}

} // namespace torl7::sim
