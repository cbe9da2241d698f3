#include "protocol/calibration_rules.hpp"

namespace torl7 {

std::optional<CoefficientFault>
checkCoefficients(const std::array<std::string, kCoefficientCount>& typed) {
    for (const std::size_t channel : kCoefficientCheckOrder) {
        const auto value = parseDecimal(typed[channel]);
        if (!value) {
            return CoefficientFault{CoefficientFault::Kind::NotANumber, channel};
        }
        if (*value == 0) {
            return CoefficientFault{CoefficientFault::Kind::Zero, channel};
        }
    }
    return std::nullopt;
}

RuleResult<TickedCoefficients>
computeTickedCoefficients(const std::array<CalibrationSum, kCoefficientCount>& sums,
                          const std::array<std::optional<std::string>, kCoefficientCount>& refs) {
    using Kind = CalibrationFault::Kind;
    TickedCoefficients computed;
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        if (!refs[i]) {
            continue;
        }
        const std::string& typed = *refs[i];
        const auto reference = parseDecimal(typed);
        if (!reference) {
            return {std::nullopt, CalibrationFault{Kind::ReferenceNotANumber, i, typed}};
        }
        if (*reference == 0) {
            return {std::nullopt, CalibrationFault{Kind::ZeroReference, i, typed}};
        }
        const auto coefficient = computeCoefficient(static_cast<Channel>(i), sums[i], *reference);
        if (!coefficient) {
            return {std::nullopt, CalibrationFault{Kind::ReferenceTooSmall, i, typed}};
        }
        if (*coefficient < 0 || *coefficient > kMaxWord) {
            return {std::nullopt,
                    CalibrationFault{Kind::CoefficientNotAWord, i, typed, *coefficient}};
        }
        computed[i] = coefficient;
    }
    return {computed, std::nullopt};
}

RuleResult<std::array<std::int64_t, kCoefficientCount>>
coefficientsToWrite(const TickedCoefficients& computed,
                    const std::array<std::string, kCoefficientCount>& kept) {
    using Kind = CalibrationFault::Kind;
    std::array<std::int64_t, kCoefficientCount> coefficients{};
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        if (computed[i]) {
            coefficients[i] = *computed[i];
            continue;
        }
        const auto value = parseInteger(kept[i]);
        if (!value) {
            return {std::nullopt, CalibrationFault{Kind::CoefficientNotInteger, i, kept[i]}};
        }
        if (*value < 0 || *value > kMaxWord) {
            return {std::nullopt,
                    CalibrationFault{Kind::KeptCoefficientNotAWord, i, kept[i], *value}};
        }
        coefficients[i] = *value;
    }
    return {coefficients, std::nullopt};
}

} // namespace torl7
