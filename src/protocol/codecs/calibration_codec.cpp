#include "protocol/codecs/calibration_codec.hpp"

#include <cmath>

namespace torl7 {

namespace {

bool isCurrentChannel(Channel channel) {
    return channel == Channel::Ia || channel == Channel::Ib || channel == Channel::Ic;
}

// The unit's current inputs read half the scale of the others, so their sum is doubled.
std::int64_t scaledSum(Channel channel, CalibrationSum sumOfTen) {
    return isCurrentChannel(channel) ? 2 * std::int64_t{sumOfTen} : std::int64_t{sumOfTen};
}

// A reference typed as a decimal (0,3 or 1,1) is not exact in binary, so a quotient that is
// a whole number in decimal can come out a few units in the last place below it, and
// truncation would then lose one. A mean with one decimal over a reference with a few
// decimals never has a genuine fraction this close to a whole number.
constexpr double kWholeNumberTolerance = 1e-13;

// 2^63: the first value that no longer converts to int64_t.
constexpr double kInt64Limit = 9223372036854775808.0;

} // namespace

Bytes encodeCalibrationSample(const CalibrationSample& sample) {
    Bytes payload;
    payload.reserve(kCalibrationSampleSize);
    payload.push_back(kCalibrationSelector);
    for (std::uint32_t reading : sample.readings) {
        payload.push_back(static_cast<std::uint8_t>(reading >> 16));
        payload.push_back(static_cast<std::uint8_t>(reading >> 8));
        payload.push_back(static_cast<std::uint8_t>(reading));
    }
    return payload;
}

CalibrationSample decodeCalibrationSample(ByteSpan payload) {
    const PayloadReader in(payload);
    CalibrationSample sample;
    for (std::size_t i = 0; i < sample.readings.size(); ++i) {
        sample.readings[i] = in.u24(1 + 3 * i);
    }
    return sample;
}

std::optional<std::int64_t> computeCoefficient(Channel channel, CalibrationSum sumOfTen,
                                               double reference) {
    if (reference == 0.0 || !std::isfinite(reference)) {
        return std::nullopt;
    }
    const double mean = static_cast<double>(scaledSum(channel, sumOfTen)) / kCalibrationSampleCount;
    double quotient = mean / reference;
    if (!std::isfinite(quotient)) {
        return std::nullopt;
    }
    const double whole = std::round(quotient);
    if (std::abs(quotient - whole) <= std::abs(whole) * kWholeNumberTolerance) {
        quotient = whole;
    }
    const double truncated = std::trunc(quotient);
    if (truncated >= kInt64Limit || truncated < -kInt64Limit) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(truncated);
}

std::optional<Bytes>
coefficientWritePayload(const std::array<std::int64_t, kCoefficientCount>& coefficients) {
    Bytes payload;
    payload.reserve(kCoefficientWriteSize);
    payload.push_back(kWriteSubModeCoefficients);
    for (std::int64_t coefficient : coefficients) {
        if (!appendWord(payload, coefficient)) {
            return std::nullopt;
        }
    }
    return payload;
}

std::array<std::uint16_t, kCoefficientCount> decodeCoefficientWrite(ByteSpan payload) {
    const PayloadReader in(payload);
    std::array<std::uint16_t, kCoefficientCount> coefficients{};
    for (std::size_t i = 0; i < coefficients.size(); ++i) {
        coefficients[i] = in.word(1 + 2 * i);
    }
    return coefficients;
}

Bytes encodeCoefficientAck(const CoefficientAck& ack) {
    Bytes payload;
    payload.reserve(kCoefficientAckSize);
    payload.push_back(kWriteSubModeCoefficients);
    for (std::uint16_t coefficient : ack.coefficients) {
        appendWord(payload, coefficient);
    }
    payload.push_back(ack.protectionBlocked ? 0x80 : 0x00);
    return payload;
}

CoefficientAck decodeCoefficientAck(ByteSpan payload) {
    const PayloadReader in(payload);
    CoefficientAck ack;
    ack.coefficients = decodeCoefficientWrite(payload);
    ack.protectionBlocked = (in.byte(15) & 0x80) != 0;
    return ack;
}

} // namespace torl7
