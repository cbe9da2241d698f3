#include "protocol/codecs/clock_codec.hpp"

#include <algorithm>

namespace torl7 {

namespace {

constexpr std::uint8_t kAutoDstFlag = 0x80;
constexpr std::size_t kYearByte = 7;

std::uint8_t yearByte(int fullYear) {
    const int y = fullYear % 1000;
    // Conversion to uint8_t keeps the low 8 bits, also of a negative value.
    return static_cast<std::uint8_t>((y / 10) * 16 + y % 10);
}

} // namespace

Bytes encodeClockCorrection(const ClockCorrection& correction, int fullYear) {
    Bytes payload;
    payload.reserve(kClockCorrectionSize);
    payload.push_back(encodeClockCalibration(correction.calibration));
    const auto registers = encodeClockBlock(correction.clock);
    payload.insert(payload.end(), registers.begin(), registers.end());
    payload[kYearByte] = yearByte(fullYear);
    payload.push_back(correction.autoDst ? kAutoDstFlag : 0x00);
    return payload;
}

ClockCorrection decodeClockCorrection(ByteSpan payload) {
    const PayloadReader in(payload);
    ClockCorrection correction;
    correction.calibration = decodeClockCalibration(in.byte(0));
    correction.clock = decodeClockBlock(in, 1);
    correction.autoDst = (in.byte(8) & kAutoDstFlag) != 0;
    return correction;
}

std::uint8_t encodeClockCalibration(int calibration) {
    const int v = std::clamp(calibration, -kMaxClockCalibration, kMaxClockCalibration);
    return static_cast<std::uint8_t>(v >= 0 ? 32 + v : -v);
}

int decodeClockCalibration(std::uint8_t byte) {
    const int magnitude = byte & 0x1F;
    return (byte & 0x20) != 0 ? magnitude : -magnitude;
}

} // namespace torl7
