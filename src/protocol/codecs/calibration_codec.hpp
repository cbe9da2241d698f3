// Calibration of the unit's seven measuring channels: the raw sample the unit returns for
// selector 4, the coefficient computed from ten samples and a known reference, the
// coefficient write (kind 3, sub-mode 1) and the unit's acknowledgement. Pure: no Qt.
#pragma once

#include "protocol/codecs/config_record_codec.hpp"
#include "protocol/encodings.hpp"

#include <array>
#include <cstdint>
#include <optional>

namespace torl7 {

// The channels in wire order.
enum class Channel { Ua, Ub, Uc, Ia, Ib, Ic, Idif };

// Diagnostics selector that asks the unit for one raw calibration sample.
inline constexpr std::uint8_t kCalibrationSelector = 4;
inline constexpr std::size_t kCalibrationSampleSize = 22;
inline constexpr std::size_t kCoefficientWriteSize = 15;
inline constexpr std::size_t kCoefficientAckSize = 16;
// Samples summed for one coefficient.
inline constexpr int kCalibrationSampleCount = 10;

// One raw reading per channel, 24 bits each.
struct CalibrationSample {
    std::array<std::uint32_t, kCoefficientCount> readings{};

    bool operator==(const CalibrationSample&) const = default;
};

// Selector 4, then the seven readings most significant byte first (only their low 24 bits).
Bytes encodeCalibrationSample(const CalibrationSample& sample);
// Reads payload bytes 1..21; byte 0 (the selector) is the dispatcher's to check.
CalibrationSample decodeCalibrationSample(ByteSpan payload);

// Sums of ten readings are kept in 32 signed bits: ten 24-bit readings reach at most
// 167 772 150 and the doubled current sum 335 544 300, both far below 2^31 - 1.
using CalibrationSum = std::int32_t;

// The coefficient that makes the unit show `reference` (V or A actually applied) for the
// channel whose ten readings add up to `sumOfTen`: the mean reading (currents: twice the
// sum, over ten) divided by the reference, truncated toward zero. Nothing for a reference of
// 0, or a result that is not finite or does not fit 64 bits; a value outside a word is
// for the write to refuse.
std::optional<std::int64_t> computeCoefficient(Channel channel, CalibrationSum sumOfTen,
                                               double reference);

// Sub-mode 1, then the seven coefficients as words. Nothing when any of them lies outside
// 0..65535: a coefficient is never sent cut to its low 16 bits.
std::optional<Bytes>
coefficientWritePayload(const std::array<std::int64_t, kCoefficientCount>& coefficients);
// The coefficients of a write request's payload (bytes 1..14), as the unit stores them.
std::array<std::uint16_t, kCoefficientCount> decodeCoefficientWrite(ByteSpan payload);

// The unit's answer to the coefficient write: what it now holds, and whether it has blocked
// its protection (bit 7 of payload byte 15).
struct CoefficientAck {
    std::array<std::uint16_t, kCoefficientCount> coefficients{};
    bool protectionBlocked = false;

    bool operator==(const CoefficientAck&) const = default;
};

Bytes encodeCoefficientAck(const CoefficientAck& ack);
CoefficientAck decodeCoefficientAck(ByteSpan payload);

} // namespace torl7
