// The receive assembler against any byte stream cut into any slices: it must never read or
// store out of bounds, must hand out only well-formed frames, must keep at most one unfinished
// frame, and must find the same frames however a stream without false starts is cut. (Where a
// stray sync byte overlaps real frames, a cut may decide which of two overlapping candidates
// is complete first.)
#include "fuzz_target.hpp"

#include "protocol/frame_assembler.hpp"

using namespace torl7;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte chooses how the rest is cut into receive events.
    const std::uint8_t cutSeed = data[0];
    const ByteSpan stream(data + 1, size - 1);

    bool falseStart = false;
    const auto drain = [&falseStart](FrameAssembler& assembler, std::vector<Bytes>& frames) {
        while (auto item = assembler.next()) {
            if (item->frame) {
                FUZZ_CHECK(parseFrame(item->frame->bytes()).has_value());
                FUZZ_CHECK(item->frame->length() <= kMaxPayload);
                frames.push_back(item->frame->bytes());
            } else {
                FUZZ_CHECK(!item->dropped.empty());
                falseStart |= item->reason != FrameAssembler::Dropped::NoSync;
            }
        }
        FUZZ_CHECK(assembler.pending() < kMaxFrame);
    };
    FrameAssembler whole;
    std::vector<Bytes> wholeFrames;
    whole.append(stream);
    drain(whole, wholeFrames);

    FrameAssembler sliced;
    std::vector<Bytes> slicedFrames;
    std::size_t pos = 0;
    std::size_t step = 1 + cutSeed % 17;
    while (pos < stream.size()) {
        const std::size_t len = std::min(step, stream.size() - pos);
        sliced.append(stream.subspan(pos, len));
        drain(sliced, slicedFrames);
        pos += len;
        step = 1 + (step * 7 + cutSeed) % 23;
    }
    if (!falseStart) {
        FUZZ_CHECK(wholeFrames == slicedFrames);
        FUZZ_CHECK(whole.pendingBytes() == sliced.pendingBytes());
    }
    return 0;
}

std::vector<std::vector<std::uint8_t>> fuzzSeeds() {
    const Bytes read{0xAA, 0x06, 0x02, 0x58, 0x02, 0x00, 0x01, 0x0C};
    Bytes noisy{0x03, 0x55, 0x00};
    noisy.insert(noisy.end(), read.begin(), read.end());
    Bytes echoed{0x05};
    const Bytes request = buildFrame(600, 1, Bytes{0x00});
    echoed.insert(echoed.end(), request.begin(), request.end());
    const Bytes snapshot = buildFrame(600, 1, Bytes(55, 0x21));
    echoed.insert(echoed.end(), snapshot.begin(), snapshot.end());
    Bytes block{0x07};
    const Bytes events = buildFrame(600, 6, Bytes(241, 0xAA));
    block.insert(block.end(), events.begin(), events.end());
    Bytes oversized{0x02, 0xAA, 0x06, 0x02, 0x58, 0x06, 0xF8, 0x00, 0x00};
    oversized.insert(oversized.end(), read.begin(), read.end());
    Bytes plain{0x00};
    plain.insert(plain.end(), read.begin(), read.end());
    return {plain, noisy, echoed, block, oversized};
}
