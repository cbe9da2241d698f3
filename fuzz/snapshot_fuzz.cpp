// The status snapshot decoder against any answer: it must read only within the bytes given,
// its result must survive encoding and decoding, the encoding must keep every plain value, and
// every number shown must be a well-formed number text.
#include "fuzz_target.hpp"
#include "number_text.hpp"

#include "protocol/codecs/snapshot_codec.hpp"

using namespace torl7;
using namespace torl7::fuzzing;

namespace {

// A clock byte in plain BCD whose tens digit fits the field's mask is sent back unchanged.
bool isPlainBcd(std::uint8_t byte, BcdField field) {
    const int tens = byte >> 4;
    return (byte & 0x0F) <= 9 && tens <= (static_cast<int>(field) >> 4);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteSpan payload(data, size);
    const PayloadReader in(payload);
    const Snapshot snapshot = decodeSnapshot(payload);

    const Bytes bytes = encodeSnapshot(snapshot);
    FUZZ_CHECK(bytes.size() == kSnapshotSize);
    FUZZ_CHECK(bytes[0] == kSnapshotSelector && bytes[4] == 0 && bytes[10] == 0);
    FUZZ_CHECK(decodeSnapshot(bytes) == snapshot);
    FUZZ_CHECK(encodeSnapshot(decodeSnapshot(bytes)) == bytes);
    // Flags, measurements and counters are sent back byte for byte.
    for (std::size_t offset = 11; offset < kSnapshotSize; ++offset) {
        FUZZ_CHECK(bytes[offset] == in.byte(offset));
    }
    FUZZ_CHECK((bytes[1] & 0x80) == (in.byte(1) & 0x80));
    FUZZ_CHECK((bytes[8] & 0x1F) == (in.byte(8) & 0x1F));
    FUZZ_CHECK((bytes[9] & 0x80) == (in.byte(9) & 0x80));
    const std::pair<std::size_t, BcdField> clockBytes[] = {
        {1, BcdField::Seconds}, {2, BcdField::Minutes}, {3, BcdField::Hours},
        {5, BcdField::Day},     {6, BcdField::Month},   {7, BcdField::Year}};
    for (const auto& [offset, field] : clockBytes) {
        const int valueBits = static_cast<int>(field) | 0x0F;
        const auto kept = static_cast<std::uint8_t>(in.byte(offset) & valueBits);
        if (isPlainBcd(kept, field)) {
            FUZZ_CHECK((bytes[offset] & valueBits) == kept);
        }
    }

    const SnapshotTexts t = formatSnapshot(snapshot);
    FUZZ_CHECK(t.time.size() == 8 && t.time[2] == ':' && t.time[5] == ':');
    FUZZ_CHECK(t.date.size() >= 12 && t.date[2] == '.' && t.date[5] == '.');
    for (const std::string* whole :
         {&t.ua, &t.ub, &t.uc, &t.voltageAsymmetry, &t.currentAsymmetry, &t.idleCurrentDelayLeft,
          &t.overloadDelayLeft, &t.resetLockLeft}) {
        FUZZ_CHECK(isNumberText(*whole, 1, 0) && whole->front() != '-');
    }
    for (const std::string* current : {&t.ia, &t.ib, &t.ic, &t.power}) {
        FUZZ_CHECK(isCurrentText(*current));
    }
    for (const std::string* tenths :
         {&t.leakageCurrent, &t.uminDelayLeft, &t.umaxDelayLeft, &t.voltageAsymmetryDelayLeft,
          &t.currentAsymmetryDelayLeft, &t.lockedRotorDelayLeft, &t.leakageDelayLeft}) {
        FUZZ_CHECK(isNumberText(*tenths, 1, 1) && tenths->front() != '-');
    }
    FUZZ_CHECK(t.overloadMultiple == "---" || isNumberText(t.overloadMultiple, 1, 1));
    FUZZ_CHECK(isNumberText(t.cosPhi, 1, 2) && t.cosPhi != "-0,00");
    FUZZ_CHECK(isNumberText(t.energy, 6, 3));
    FUZZ_CHECK(isRunningTimeText(t.runningTime));

    const IndicatorStates lamps = indicatorStates(snapshot);
    FUZZ_CHECK((lamps.anyActive == IndicatorColor::Red) == (in.byte(13) != 0));
    FUZZ_CHECK(lamps.insulation != IndicatorColor::Silver);
    return 0;
}

std::vector<std::vector<std::uint8_t>> fuzzSeeds() {
    const Bytes example{0x00, 0x89, 0x05, 0x23, 0x00, 0x05, 0x03, 0x16, 0x25, 0x80, 0x00,
                        0x21, 0x05, 0x40, 0x00, 0xDC, 0x00, 0xDD, 0x00, 0xDE, 0x03, 0xE7,
                        0x03, 0xE8, 0x03, 0xED, 0x03, 0xE8, 0xD5, 0x03, 0x07, 0x0B, 0x19,
                        0x0A, 0x01, 0x01, 0x2C, 0x05, 0x03, 0xED, 0x0F, 0x64, 0x00, 0x7B,
                        0x00, 0x00, 0x0F, 0x42, 0x40, 0x00, 0x00, 0x0E, 0x8D, 0x00, 0x3C};
    return {example, Bytes(kSnapshotSize, 0xFF), Bytes(20, 0x99), Bytes(kSnapshotSize + 10, 0x64)};
}
