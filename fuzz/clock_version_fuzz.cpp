// The clock correction and firmware version decoders against any bytes: values stay in the
// ranges their fields can express, valid requests survive a round trip, and the version text
// always shows sixteen characters that the unit's side can store back unchanged.
#include "fuzz_target.hpp"

#include "protocol/codecs/clock_codec.hpp"
#include "protocol/codecs/version_codec.hpp"
#include "protocol/cp1251.hpp"

using namespace torl7;

namespace {

bool isBcd(std::uint8_t byte) {
    return (byte >> 4) <= 9 && (byte & 0x0F) <= 9;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteSpan payload(data, size);
    const PayloadReader in(payload);

    const ClockCorrection correction = decodeClockCorrection(payload);
    FUZZ_CHECK(correction.calibration >= -kMaxClockCalibration &&
               correction.calibration <= kMaxClockCalibration);
    FUZZ_CHECK(correction.clock.seconds >= 0 && correction.clock.seconds <= 85);
    FUZZ_CHECK(correction.clock.month >= 0 && correction.clock.month <= 25);
    FUZZ_CHECK(correction.clock.year >= 0 && correction.clock.year <= 165);

    const Bytes again = encodeClockCorrection(correction, 2000 + correction.clock.year);
    FUZZ_CHECK(again.size() == kClockCorrectionSize);
    FUZZ_CHECK((again[0] & 0x3F) == (in.byte(0) & 0x3F) || (in.byte(0) & 0x1F) == 0);
    FUZZ_CHECK(decodeClockCalibration(again[0]) == correction.calibration);
    FUZZ_CHECK((again[8] & 0x80) == (in.byte(8) & 0x80));
    // A request with plain BCD registers inside their masks comes back byte for byte.
    const std::uint8_t masks[] = {0x7F, 0x7F, 0x3F, 0xFF, 0x3F, 0x1F, 0xFF};
    bool canonical = true;
    for (std::size_t i = 0; i < 7; ++i) {
        const auto plain = static_cast<std::uint8_t>(in.byte(1 + i) & masks[i]);
        canonical = canonical && isBcd(plain) && plain == (in.byte(1 + i) & (i ? 0xFF : 0x7F));
    }
    if (canonical) {
        for (std::size_t i = 1; i <= 7; ++i) {
            FUZZ_CHECK(again[i] == in.byte(i));
        }
        FUZZ_CHECK(decodeClockCorrection(again) == correction);
    }

    // Any full year, also far outside the century, gives a byte without overflow.
    const auto fullYear = static_cast<std::int32_t>(in.u32(9));
    FUZZ_CHECK(encodeClockCorrection(correction, fullYear).size() == kClockCorrectionSize);

    const std::string version = decodeVersionText(payload);
    FUZZ_CHECK(utf8Length(version) == kVersionTextSize);
    FUZZ_CHECK(encodeVersionText(version) == in.bytes(0, kVersionTextSize));
    return 0;
}

std::vector<std::vector<std::uint8_t>> fuzzSeeds() {
    const Bytes tuesday{0x23, 0x09, 0x05, 0x14, 0x03, 0x08, 0x12, 0x26, 0x80};
    const Bytes stopped{0x1F, 0xD9, 0x59, 0x23, 0x07, 0x31, 0x12, 0x99, 0x00};
    return {tuesday, stopped, encodeVersionText("ТОРЛ-7 в2.14"), Bytes(16, 0x98)};
}
