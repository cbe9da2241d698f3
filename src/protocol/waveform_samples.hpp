// The waveforms of one poll sequence: the six sample arrays the waveform blocks fill. Pure: no
// Qt.
#pragma once

#include "protocol/codecs/waveform_codec.hpp"

#include <array>

namespace torl7 {

inline constexpr int kPhases = 3; // A, B, C

// Voltage and current samples 1..100 of each phase (index 0 = phase A), as received; a phase
// not fetched in this sequence stays at 0.
struct WaveformSamples {
    std::array<std::array<int, kWaveformSamples>, kPhases> voltage{};
    std::array<std::array<int, kWaveformSamples>, kPhases> current{};

    // Takes the samples of a block into the arrays of its phase (1..3).
    void store(int phase, const WaveformBlock& block);
    void clear();
};

} // namespace torl7
