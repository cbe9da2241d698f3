// The analysis of one waveform set: a three-phase set of the unit (6 × 100 samples) must take
// well under 0.2 ms, so that every drawing of the poll can be analysed. The sets are the
// periods that make the most work: 2.5 periods (a window that is not a whole number of
// samples a period) and one period (the 13 harmonics the fit then holds).
#include "protocol/waveform_analysis.hpp"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

using namespace torl7;

static void BM_AnalyseThreePhaseSet(benchmark::State& state) {
    const double periods = static_cast<double>(state.range(0)) / 10.0;
    WaveformSamples samples;
    for (std::size_t p = 0; p < 3; ++p) {
        for (std::size_t i = 0; i < kWaveformSamples; ++i) {
            const double t =
                2 * std::numbers::pi *
                (periods * static_cast<double>(i) / 100.0 - static_cast<double>(p) / 3.0);
            samples.voltage[p][i] =
                static_cast<int>(std::lround(128 + 100 * std::sin(t) + 5 * std::sin(3 * t)));
            samples.current[p][i] = static_cast<int>(std::lround(128 + 60 * std::sin(t - 0.6)));
        }
    }
    Snapshot snapshot;
    snapshot.uaVolts = snapshot.ubVolts = snapshot.ucVolts = 230;
    snapshot.iaTenthsAmp = snapshot.ibTenthsAmp = snapshot.icTenthsAmp = 120;
    for (auto _ : state) {
        const WaveformAnalysis analysis =
            analyseWaveforms(unitPhaseWaves(samples, {1, 2, 3}, snapshot));
        benchmark::DoNotOptimize(analysis);
    }
}
BENCHMARK(BM_AnalyseThreePhaseSet)->Arg(25)->Arg(10)->Unit(benchmark::kMicrosecond);
