// The rules that decide which coefficients may go to the unit: the zero check before a
// configuration write, and the new coefficients of a calibration run. Pure: no Qt. The
// window and the headless client both apply them, so both refuse the same inputs in the same
// order.
#pragma once

#include "protocol/codecs/calibration_codec.hpp"

#include <string>

namespace torl7 {

// ---- Zero check before a configuration write ----
// The unit cannot measure with a coefficient of 0. The check walks voltage and current of
// each phase in turn (Ua, Ia, Ub, Ib, Uc, Ic, Iут); the first bad one decides.
inline constexpr std::array<std::size_t, kCoefficientCount> kCoefficientCheckOrder = {0, 3, 1, 4,
                                                                                      2, 5, 6};

struct CoefficientFault {
    enum class Kind { NotANumber, Zero };
    Kind kind;
    std::size_t channel; // wire order
};

// The coefficients as typed (wire order). Nothing when all may be written; a text that is
// no number at all fails too. Fractions and negatives pass: the record refuses them later.
std::optional<CoefficientFault>
checkCoefficients(const std::array<std::string, kCoefficientCount>& typed);

// ---- New coefficients of a calibration run ----
struct CalibrationFault {
    enum class Kind {
        ReferenceNotANumber,     // a ticked channel's reference is no number
        ZeroReference,           // ... is 0
        ReferenceTooSmall,       // ... gives no finite coefficient
        CoefficientNotAWord,     // a computed coefficient lies outside 0..65535
        CoefficientNotInteger,   // a coefficient kept as typed is no integer
        KeptCoefficientNotAWord, // ... lies outside 0..65535
    };
    Kind kind;
    std::size_t channel;
    std::string text;       // the reference or coefficient as typed
    std::int64_t value = 0; // the coefficient that does not fit
};

template <typename T> struct RuleResult {
    std::optional<T> value;
    std::optional<CalibrationFault> fault;
};

using TickedCoefficients = std::array<std::optional<std::int64_t>, kCoefficientCount>;

// A new coefficient for each channel with a reference (nothing: the channel is not ticked),
// all or nothing; channels are taken in wire order and the first fault ends the rule.
RuleResult<TickedCoefficients>
computeTickedCoefficients(const std::array<CalibrationSum, kCoefficientCount>& sums,
                          const std::array<std::optional<std::string>, kCoefficientCount>& refs);

// The seven coefficients to write: the computed ones, the others as `kept` holds them.
RuleResult<std::array<std::int64_t, kCoefficientCount>>
coefficientsToWrite(const TickedCoefficients& computed,
                    const std::array<std::string, kCoefficientCount>& kept);

} // namespace torl7
