// The waveform block decoder against any answer, and the poll's selector sequence against any
// view index and selector: blocks survive encoding, the sequence only ever asks for waveform
// selectors, fetches exactly the phases of the view and always ends in a drawing.
#include "fuzz_target.hpp"

#include "protocol/codecs/waveform_codec.hpp"
#include "protocol/poll_sequence.hpp"

#include <algorithm>

using namespace torl7;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteSpan payload(data, size);
    const WaveformBlock block = decodeWaveformBlock(payload);
    const Bytes bytes = encodeWaveformBlock(block);
    FUZZ_CHECK(bytes.size() == kWaveformBlockSize);
    FUZZ_CHECK(decodeWaveformBlock(bytes) == block);
    const std::size_t kept = std::min(size, kWaveformBlockSize);
    FUZZ_CHECK(std::equal(bytes.begin(), bytes.begin() + static_cast<long>(kept), data));
    FUZZ_CHECK(std::all_of(bytes.begin() + static_cast<long>(kept), bytes.end(),
                           [](std::uint8_t b) { return b == 0; }));

    if (size < 2) {
        return 0;
    }
    const int viewIndex = static_cast<std::int8_t>(data[0]);
    const int phases = std::clamp(viewIndex, 0, kMaxViewIndex);
    const BlockStep any = stepAfterBlock(data[1], viewIndex);
    FUZZ_CHECK(any.draw == (any.nextSelector == 0));
    FUZZ_CHECK(any.nextSelector != 4);

    int selector = selectorAfterSnapshot(viewIndex);
    int fetched = 0;
    while (selector != 0) {
        ++fetched;
        FUZZ_CHECK(fetched <= phases);
        FUZZ_CHECK((selector & 3) == fetched);
        const bool last = fetched == phases;
        FUZZ_CHECK(selector == fetched + (last ? kLastBlockFlag : 0));
        const BlockStep step = stepAfterBlock(static_cast<std::uint8_t>(selector), viewIndex);
        FUZZ_CHECK(step.draw == last);
        selector = step.nextSelector;
    }
    FUZZ_CHECK(fetched == phases);
    return 0;
}

std::vector<std::vector<std::uint8_t>> fuzzSeeds() {
    Bytes sine(kWaveformBlockSize);
    sine[0] = 19;
    for (std::size_t i = 1; i < sine.size(); ++i) {
        sine[i] = static_cast<std::uint8_t>((i * 37) % 251);
    }
    return {sine, Bytes{0x03, 0x11}, Bytes{0xFF, 0x02}, Bytes(50, 0x01)};
}
