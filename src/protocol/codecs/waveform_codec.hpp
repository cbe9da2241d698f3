// A waveform block: the unit's answer to diagnostics selectors 1..3 and 17..19, one phase's
// 100 voltage and 100 current samples, interleaved. Pure: no Qt.
#pragma once

#include "protocol/encodings.hpp"

#include <array>
#include <cstdint>

namespace torl7 {

inline constexpr std::size_t kWaveformSamples = 100;
inline constexpr std::size_t kWaveformBlockSize = 1 + 2 * kWaveformSamples; // 201

struct WaveformBlock {
    std::uint8_t selector = 0; // echo of the request; the phase is selector & 3 (1 = A)
    std::array<std::uint8_t, kWaveformSamples> voltage{};
    std::array<std::uint8_t, kWaveformSamples> current{};

    bool operator==(const WaveformBlock&) const = default;
};

// Selector, then voltage and current sample i at 1 + 2i and 2 + 2i.
Bytes encodeWaveformBlock(const WaveformBlock& block);

// Reads the fixed offsets whatever the length; samples the answer did not reach read as 0.
WaveformBlock decodeWaveformBlock(ByteSpan payload);

} // namespace torl7
