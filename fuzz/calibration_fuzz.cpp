// The calibration decoders and the coefficient computation against any bytes: the sample,
// the coefficient write and the acknowledgement must read any answer and re-encode it, and
// the computation must give a well-defined answer (or none) for any sum and reference,
// never a value that a write would carry cut to 16 bits.
#include "fuzz_target.hpp"

#include "protocol/codecs/calibration_codec.hpp"

#include <cmath>
#include <cstring>

using namespace torl7;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteSpan payload(data, size);
    const PayloadReader in(payload);

    const CalibrationSample sample = decodeCalibrationSample(payload);
    for (std::uint32_t reading : sample.readings) {
        FUZZ_CHECK(reading <= 0xFFFFFF);
    }
    const Bytes sampleBytes = encodeCalibrationSample(sample);
    FUZZ_CHECK(sampleBytes.size() == kCalibrationSampleSize);
    for (std::size_t i = 1; i < kCalibrationSampleSize; ++i) {
        FUZZ_CHECK(sampleBytes[i] == in.byte(i));
    }

    const CoefficientAck ack = decodeCoefficientAck(payload);
    const Bytes ackBytes = encodeCoefficientAck(ack);
    FUZZ_CHECK(ackBytes.size() == kCoefficientAckSize);
    for (std::size_t i = 1; i < 15; ++i) {
        FUZZ_CHECK(ackBytes[i] == in.byte(i));
    }
    FUZZ_CHECK(decodeCoefficientAck(ackBytes) == ack);

    const auto written = decodeCoefficientWrite(payload);
    std::array<std::int64_t, kCoefficientCount> wide{};
    for (std::size_t i = 0; i < wide.size(); ++i) {
        wide[i] = written[i];
    }
    const auto write = coefficientWritePayload(wide);
    FUZZ_CHECK(write && write->size() == kCoefficientWriteSize);
    FUZZ_CHECK(decodeCoefficientWrite(*write) == written);

    // Sum from four bytes, reference from the next eight as a raw double: every bit pattern,
    // NaNs, infinities and subnormals included.
    std::int32_t sum = static_cast<std::int32_t>(in.u32(0));
    std::uint64_t referenceBits = std::uint64_t{in.u32(4)} << 32 | in.u32(8);
    double reference = 0;
    std::memcpy(&reference, &referenceBits, sizeof reference);
    const auto channel = static_cast<Channel>(in.byte(12) % kCoefficientCount);
    const auto coefficient = computeCoefficient(channel, sum, reference);
    const double factor =
        channel == Channel::Ia || channel == Channel::Ib || channel == Channel::Ic ? 2 : 1;
    const double quotient = factor * sum / 10.0 / reference;
    const bool usable = reference != 0 && std::isfinite(reference) && std::isfinite(quotient) &&
                        std::trunc(quotient) < 0x1p63 && std::trunc(quotient) >= -0x1p63;
    FUZZ_CHECK(coefficient.has_value() == usable);
    if (coefficient) {
        // Truncation: never further from zero than the quotient, and less than one below it.
        const double value = static_cast<double>(*coefficient);
        FUZZ_CHECK(std::abs(value) <= std::abs(quotient) * (1 + 1e-12));
        FUZZ_CHECK(std::abs(value) > std::abs(quotient) * (1 - 1e-12) - 1);
        std::array<std::int64_t, kCoefficientCount> coefficients{};
        coefficients[static_cast<std::size_t>(channel)] = *coefficient;
        const auto sent = coefficientWritePayload(coefficients);
        FUZZ_CHECK(sent.has_value() == (*coefficient >= 0 && *coefficient <= 65535));
    }
    return 0;
}

std::vector<std::vector<std::uint8_t>> fuzzSeeds() {
    CalibrationSample sample;
    sample.readings = {57000, 57000, 57000, 1000, 1000, 1000, 0xFFFFFF};
    const Bytes ack =
        encodeCoefficientAck(CoefficientAck{{570, 570, 570, 200, 200, 200, 5000}, true});
    const Bytes write = *coefficientWritePayload({571, 569, 570, 201, 199, 200, 4999});
    // Sum 570000, reference 100.0, channel Ua.
    const Bytes computation{0x00, 0x08, 0xB2, 0x90, 0x40, 0x59, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    return {encodeCalibrationSample(sample), ack, write, computation};
}
