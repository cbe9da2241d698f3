#include "protocol/waveform_samples.hpp"

namespace torl7 {

void WaveformSamples::store(int phase, const WaveformBlock& block) {
    const auto k = static_cast<std::size_t>(phase - 1);
    for (std::size_t i = 0; i < kWaveformSamples; ++i) {
        voltage[k][i] = block.voltage[i];
        current[k][i] = block.current[i];
    }
}

void WaveformSamples::clear() {
    for (auto& phase : voltage) {
        phase.fill(0);
    }
    for (auto& phase : current) {
        phase.fill(0);
    }
}

} // namespace torl7
