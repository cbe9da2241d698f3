#include "gui/widgets/waveform_chart.hpp"

#include "gui/pages/diag_page.hpp"
#include "gui/widgets/waveform_view.hpp"

#include <QLineSeries>

namespace torl7 {

std::array<QList<QPointF>, 2 * kPhases> waveformTraces(const WaveformSamples& samples) {
    std::array<QList<QPointF>, 2 * kPhases> traces;
    for (auto& trace : traces) {
        trace.reserve(kWaveformSamples + 1);
    }
    traces[0].append(QPointF(0, 0));
    traces[1].append(QPointF(0, 0));
    for (std::size_t k = 0; k < kPhases; ++k) {
        // The phase A current trace is drawn one sample to the right of the others.
        const int currentShift = k == 0 ? 1 : 0;
        for (std::size_t i = 0; i < kWaveformSamples; ++i) {
            const int x = static_cast<int>(i) + 1;
            traces[2 * k].append(QPointF(x, samples.voltage[k][i]));
            traces[2 * k + 1].append(QPointF(x + currentShift, samples.current[k][i]));
        }
    }
    return traces;
}

void drawWaveforms(DiagPage& page, const WaveformSamples& samples) {
    if (page.Chart1->showsRecord()) {
        return; // a record from disk stays until it is closed
    }
    const auto traces = waveformTraces(samples);
    QLineSeries* const series[] = {page.Series1, page.Series2, page.Series3,
                                   page.Series4, page.Series5, page.Series6};
    for (std::size_t i = 0; i < traces.size(); ++i) {
        series[i]->replace(traces[i]);
    }
}

} // namespace torl7
