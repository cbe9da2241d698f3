#include "protocol/codecs/waveform_codec.hpp"

namespace torl7 {

Bytes encodeWaveformBlock(const WaveformBlock& block) {
    Bytes out;
    out.reserve(kWaveformBlockSize);
    out.push_back(block.selector);
    for (std::size_t i = 0; i < kWaveformSamples; ++i) {
        out.push_back(block.voltage[i]);
        out.push_back(block.current[i]);
    }
    return out;
}

WaveformBlock decodeWaveformBlock(ByteSpan payload) {
    const PayloadReader in(payload);
    WaveformBlock block;
    block.selector = in.byte(0);
    for (std::size_t i = 0; i < kWaveformSamples; ++i) {
        block.voltage[i] = in.byte(1 + 2 * i);
        block.current[i] = in.byte(2 + 2 * i);
    }
    return block;
}

} // namespace torl7
