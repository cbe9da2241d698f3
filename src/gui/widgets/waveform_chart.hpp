// The waveforms of one poll sequence: the six sample arrays the waveform blocks fill, and
// their drawing on the chart of the "Диагностика" page.
#pragma once

#include "protocol/codecs/waveform_codec.hpp"

#include <QList>
#include <QPointF>

#include <array>

namespace torl7 {

class DiagPage;

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

// The points of Series1..Series6 (Ua, Ia, Ub, Ib, Uc, Ic): sample i at x = i, except the
// phase A current, which sits one sample to the right. The phase A traces start from (0, 0).
std::array<QList<QPointF>, 2 * kPhases> waveformTraces(const WaveformSamples& samples);

// Replaces every trace of the chart at once: one replace() per series, so the chart lays out
// and repaints once per drawing rather than once per point.
void drawWaveforms(DiagPage& page, const WaveformSamples& samples);

} // namespace torl7
