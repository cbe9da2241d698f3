// The drawing of the waveforms of one poll sequence on the chart of the "Диагностика" page.
#pragma once

#include "protocol/waveform_samples.hpp"

#include <QList>
#include <QPointF>

#include <array>

namespace torl7 {

class DiagPage;

// The points of Series1..Series6 (Ua, Ia, Ub, Ib, Uc, Ic): sample i at x = i, except the
// phase A current, which sits one sample to the right. The phase A traces start from (0, 0).
std::array<QList<QPointF>, 2 * kPhases> waveformTraces(const WaveformSamples& samples);

// Replaces every trace of the chart at once: one replace() per series, so the chart lays out
// and repaints once per drawing rather than once per point. While a record opened from disk
// is shown the chart is left alone.
void drawWaveforms(DiagPage& page, const WaveformSamples& samples);

} // namespace torl7
