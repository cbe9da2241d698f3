// The accounting decoder against any answer: it reads only within the bytes given, its result
// survives encoding, counters are sent back byte for byte and every text is well formed.
#include "fuzz_target.hpp"
#include "number_text.hpp"

#include "protocol/codecs/accounting_codec.hpp"

using namespace torl7;
using namespace torl7::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteSpan payload(data, size);
    const PayloadReader in(payload);
    const AccountingRecord record = decodeAccounting(payload);

    const Bytes bytes = encodeAccounting(record);
    FUZZ_CHECK(bytes.size() == kAccountingSize);
    FUZZ_CHECK(decodeAccounting(bytes) == record);
    FUZZ_CHECK(encodeAccounting(decodeAccounting(bytes)) == bytes);
    for (std::size_t offset = 0; offset < 13; ++offset) {
        FUZZ_CHECK(bytes[offset] == in.byte(offset));
    }

    const AccountingTexts t = formatAccounting(record);
    FUZZ_CHECK(isRunningTimeText(t.runningTime));
    FUZZ_CHECK(isNumberText(t.starts, 1, 0) && isNumberText(t.trips, 1, 0));
    FUZZ_CHECK(isNumberText(t.energy, 6, 1) && t.energy.size() <= 9);
    FUZZ_CHECK(t.start.size() >= 20 && t.start.find("г/") != std::string::npos);
    return 0;
}

std::vector<std::vector<std::uint8_t>> fuzzSeeds() {
    const Bytes example{0x00, 0x00, 0x0E, 0x8D, 0x01, 0x2C, 0x00, 0x07, 0x00, 0x07,
                        0x5B, 0xCD, 0x15, 0x09, 0x05, 0x14, 0x05, 0x03, 0x16};
    return {example, Bytes(kAccountingSize, 0xFF), Bytes(5, 0x42)};
}
