// The shape of the simulated unit's waveforms: how many periods the 100 samples hold, how
// high the waves stand, how far each current lags its voltage, how unbalanced the supply and
// the load are, which harmonics ride on them and which way the phases turn. An unbalance
// changes the phases' magnitudes as well as their angles, so the unit's measured voltages and
// currents (and its asymmetry figures) show it too. Pure: no I/O.
#pragma once

#include "protocol/codecs/calibration_codec.hpp"
#include "protocol/codecs/waveform_codec.hpp"

#include <array>

#include <complex>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace torl7::sim {

struct WaveShape {
    double periods = 1.0;            // in the 100 samples of a block
    double voltagePeakSteps = 100.0; // peak above the middle (128) at 230 V
    double currentPeakSteps = 60.0;  // peak at the rated current
    // The angle each current lags its voltage by, in degrees (negative: leads); the unit's
    // cos f follows it. Nothing: the angle of the plant's cos f, lagging.
    std::optional<double> currentLagDeg;
    // The counter-rotating component over the rotating one, as a fraction, aligned on phase A.
    double voltageUnbalance = 0.0;
    double currentUnbalance = 0.0;
    std::vector<std::pair<int, double>> harmonics; // order 2..25, share of the fundamental
    bool reversed = false;                         // phases turning A-C-B
};

// Phase p's (0..2) magnitude and angle as a multiple of a balanced phase A: the rotating
// component plus `unbalance` times the counter-rotating one.
std::complex<double> phaseFactor(const WaveShape& shape, double unbalance, std::size_t p);

// The quantities applied to the inputs (Ua, Ub, Uc, Ia, Ib, Ic, leakage) once the unbalance of
// the shape has acted on them.
std::array<double, kCoefficientCount>
unbalancedInputs(const WaveShape& shape, const std::array<double, kCoefficientCount>& balanced);

// The block of phase `selector & 3`, from the plant's steady measurements (`volts`, `amps` of
// that phase, cos f) and the rated current.
WaveformBlock waveformBlock(const WaveShape& shape, std::uint8_t selector, double volts,
                            double amps, double cosF, double ratedAmps);

// The command-line options that set the shape, in the form of the simulator's option table,
// and their lines of the help text.
using WaveOptionSetter = void (*)(WaveShape&, const std::string& value);
const std::map<std::string, WaveOptionSetter>& waveOptionTable();
std::string waveOptionsHelp();

} // namespace torl7::sim
