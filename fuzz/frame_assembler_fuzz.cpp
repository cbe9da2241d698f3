// The receive assembler against any byte stream cut into any slices: it must never read or
// store out of bounds, must hand out only well-formed frames, and must not depend on the cuts.
#include "fuzz_target.hpp"

#include "protocol/frame_assembler.hpp"

using namespace torl7;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first byte chooses how the rest is cut into receive events, the second whether an
    // echo of a request is expected.
    const std::uint8_t cutSeed = data[0];
    const bool expectEcho = data[1] & 1;
    const ByteSpan stream(data + 2, size - 2);
    const Bytes request = buildFrame(600, 1, Bytes{0x00});
    const ByteSpan echo = expectEcho ? ByteSpan(request) : ByteSpan();

    FrameAssembler whole;
    whole.reset(echo);
    const auto wholeFrame = whole.feed(stream);
    FUZZ_CHECK(whole.gathered() <= kMaxFrame);

    FrameAssembler sliced;
    sliced.reset(echo);
    std::optional<Frame> slicedFrame;
    std::size_t pos = 0;
    std::size_t step = 1 + cutSeed % 17;
    while (pos < stream.size()) {
        const std::size_t len = std::min(step, stream.size() - pos);
        if (auto frame = sliced.feed(stream.subspan(pos, len))) {
            FUZZ_CHECK(!slicedFrame);
            slicedFrame = frame;
        }
        FUZZ_CHECK(sliced.gathered() <= kMaxFrame);
        pos += len;
        step = 1 + (step * 7 + cutSeed) % 23;
    }
    FUZZ_CHECK(wholeFrame == slicedFrame);
    if (wholeFrame) {
        FUZZ_CHECK(parseFrame(wholeFrame->bytes()).has_value());
        FUZZ_CHECK(wholeFrame->length() <= kMaxPayload);
    }
    return 0;
}

std::vector<std::vector<std::uint8_t>> fuzzSeeds() {
    const Bytes read{0xAA, 0x06, 0x02, 0x58, 0x02, 0x00, 0x01, 0x0C};
    Bytes noisy{0x03, 0x00, 0x55, 0x00};
    noisy.insert(noisy.end(), read.begin(), read.end());
    Bytes echoed{0x05, 0x01};
    const Bytes request = buildFrame(600, 1, Bytes{0x00});
    echoed.insert(echoed.end(), request.begin(), request.end());
    const Bytes snapshot = buildFrame(600, 1, Bytes(55, 0x21));
    echoed.insert(echoed.end(), snapshot.begin(), snapshot.end());
    Bytes block{0x07, 0x00};
    const Bytes events = buildFrame(600, 6, Bytes(241, 0xAA));
    block.insert(block.end(), events.begin(), events.end());
    Bytes oversized{0x02, 0x00, 0xAA, 0x06, 0x02, 0x58, 0x06, 0xF8, 0x00, 0x00};
    oversized.insert(oversized.end(), read.begin(), read.end());
    Bytes plain{0x00, 0x00};
    plain.insert(plain.end(), read.begin(), read.end());
    return {plain, noisy, echoed, block, oversized};
}
