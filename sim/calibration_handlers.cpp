// Calibration: the raw readings of selector 4 follow from the stored coefficients and the
// quantities applied to the inputs, so that an auto-calibration against those same quantities
// computes the stored coefficients again. That is exact wherever one step of the reading
// moves the computed coefficient by at most one: references of 1 V or 1 A and more, 2 A and
// more for the phase currents, whose mean the tool doubles.
#include "sim/handlers.hpp"

#include "protocol/codecs/calibration_codec.hpp"

#include <algorithm>
#include <cmath>

namespace torl7::sim {

namespace {

constexpr std::uint32_t kMaxReading = 0xFFFFFF; // 24 bits

// The reading whose ten-sample sum the tool turns back into `coefficient`. The tool divides
// the mean (doubled for currents) by the reference and truncates, so the reading is the
// product rounded up, checked with the tool's own computation around that estimate.
std::uint32_t readingFor(Channel channel, std::uint16_t coefficient, double reference) {
    if (!(reference > 0.0)) {
        return 0;
    }
    const bool current = channel == Channel::Ia || channel == Channel::Ib || channel == Channel::Ic;
    const double estimate = std::ceil(coefficient * reference / (current ? 2.0 : 1.0));
    const auto start =
        static_cast<std::int64_t>(std::clamp(estimate - 2.0, 0.0, double{kMaxReading}));
    for (std::int64_t reading = start; reading <= std::min<std::int64_t>(start + 4, kMaxReading);
         ++reading) {
        const auto sum = static_cast<CalibrationSum>(reading * kCalibrationSampleCount);
        if (computeCoefficient(channel, sum, reference) == coefficient) {
            return static_cast<std::uint32_t>(reading);
        }
    }
    return static_cast<std::uint32_t>(std::clamp(estimate, 0.0, double{kMaxReading}));
}

} // namespace

Answer handleCalibrationSample(HandlerContext& unit, const PayloadReader&) {
    CalibrationSample sample;
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        sample.readings[i] = readingFor(static_cast<Channel>(i), unit.state.record.coefficients[i],
                                        unit.state.inputs[i]);
    }
    return encodeCalibrationSample(sample);
}

Answer handleCoefficientWrite(HandlerContext& unit, const PayloadReader& request) {
    if (request.size() < kCoefficientWriteSize) {
        return std::nullopt;
    }
    UnitState& state = unit.state;
    auto coefficients = decodeCoefficientWrite(request.bytes(0, kCoefficientWriteSize));
    if (state.coefficientLimit) {
        for (auto& coefficient : coefficients) {
            coefficient = std::min(coefficient, *state.coefficientLimit);
        }
    }
    state.record.coefficients = coefficients;
    // New coefficients block the protection until a configuration write clears the bit.
    state.record.controlByte |= 0x80;
    return encodeCoefficientAck(CoefficientAck{coefficients, true});
}

} // namespace torl7::sim
