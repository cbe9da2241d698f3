// What one waveform set shows: the period, the RMS values, the fundamental of every channel
// (magnitude and angle over whole periods), the angle of each current against its voltage,
// harmonics 2 to 7 and THD, and with three phases the symmetrical components, the unbalance and
// the phase order. Pure: no Qt. How it works and how far it can be trusted, in figures:
// docs/waveform-analysis.md.
//
// The period. Unless the caller gives it (the sample rate over 50 Hz), it is found from the
// samples: every channel that swings enough has its mean removed and its zero crossings found
// (with a hysteresis of a tenth of its half swing against noise), each placed between its two
// samples by linear interpolation. The period is the span from the first to the last crossing
// of one direction over the periods between them, the spans of all channels and both
// directions weighed by how steeply their ends cross. Only a set with no channel crossing
// twice in one direction (one period or less) falls back to twice the distance from a rising
// to a falling crossing, which even harmonics bias. The mean is then taken again over the
// whole periods found and the crossings found again, twice. With 8-bit samples swinging 80
// steps or more, 2 to 4 periods in 100 samples, the period comes out within 0.1 %. A set whose
// channels all swing less than 8 steps is too flat; a set with no two crossings, or whose
// period is longer than the set, is too short: both are said, not guessed.
//
// The fundamental and the harmonics. Over the whole periods (the window), a least-squares fit
// of the mean and harmonics 1 to 13 (fewer where 45 % of the sample rate comes first). When a
// period holds a whole number of samples this is exactly the DFT over whole periods; when it
// does not (28.6 samples a period), the DFT's sums would let each harmonic leak into the
// others, the fit does not. On the same synthetic sets the angles come out within 0.3°, the
// unbalance within 0.2 points and THD within 0.9 points; what is left of THD is the steps' own
// distortion of a small wave (about 1 % at a swing of 70 steps).
//
// The three phases of a set are taken to be sampled over the same moment (the unit's blocks
// of one poll sequence): the angles between phases rest on that.
#pragma once

#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/waveform_samples.hpp"

#include <array>
#include <complex>
#include <optional>
#include <string>
#include <vector>

namespace torl7 {

inline constexpr int kFirstHarmonicShown = 2;
inline constexpr int kLastHarmonicShown = 7;
inline constexpr int kHarmonicsShown = kLastHarmonicShown - kFirstHarmonicShown + 1;
// THD sums the harmonics up to this one, or to the last below 45 % of the sample rate: 8-bit
// samples, 100 of them, say nothing sound about higher ones.
inline constexpr int kLastHarmonicOfThd = 13;
// The line frequency of the networks the unit protects.
inline constexpr double kNominalLineHz = 50.0;

// One phase's two channels as sample values (any length, both the same), and how they read in
// V and A: either what one step stands for (a record's multiplier), or the unit's RMS reading
// of the same moment (the snapshot's Ua, Ia ...), from which the scale is found.
struct PhaseWaves {
    int phase = 1; // 1..3 = A..C
    std::vector<double> voltage;
    std::vector<double> current;
    std::optional<double> voltsPerStep;
    std::optional<double> ampsPerStep;
    std::optional<double> voltsReading;
    std::optional<double> ampsReading;
};

struct AnalysisOptions {
    // The period in samples when the sample rate is known; found from the samples otherwise.
    std::optional<double> periodSamples;
    // A channel that swings less than this, peak to peak, in steps, is flat.
    double minSwingSteps = 8;
};

struct ChannelAnalysis {
    bool flat = true;          // swings less than the minimum: no angle, no harmonics
    double rmsRaw = 0;         // true RMS of the mean-removed samples, in steps
    std::optional<double> rms; // the same in V or A
    std::optional<double> unitsPerStep;
    std::complex<double> phasor;    // the fundamental, RMS magnitude, in steps
    std::optional<double> angleDeg; // of the fundamental, as a cosine from the first sample
    std::optional<double> thdPercent;
    std::array<std::optional<double>, kHarmonicsShown> harmonicsPercent; // 2..7
};

struct PhaseAnalysis {
    int phase = 1;
    ChannelAnalysis voltage;
    ChannelAnalysis current;
    std::optional<double> angleDeg; // current against voltage, positive when the current lags
    std::optional<double> cosPhi;
};

enum class PhaseOrder { Abc, Acb };

// Symmetrical components of the fundamentals, RMS, in V and A when every phase reads in them
// (`scaled`), in steps otherwise. U1 and U2 are taken in the order A-B-C; the unbalance is the
// smaller of the two over the larger, so a set turning the other way (A-C-B, U2 above U1)
// still shows its own unbalance, not the inverse of it.
struct SequenceAnalysis {
    bool scaled = false;
    double u1 = 0, u2 = 0, u0 = 0, i1 = 0, i2 = 0, i0 = 0;
    std::optional<double> voltageUnbalancePercent;
    std::optional<double> currentUnbalancePercent;
    std::optional<PhaseOrder> order; // by the voltages, or the currents when they are flat
};

struct WaveformAnalysis {
    std::optional<double> periodSamples;
    std::string problem;      // why there is nothing to show: the set is too short or too flat
    double windowSamples = 0; // the whole periods the DFT and RMS run over
    std::vector<PhaseAnalysis> phases;
    std::optional<SequenceAnalysis> sequence; // with phases A, B and C
};

WaveformAnalysis analyseWaveforms(const std::vector<PhaseWaves>& phases,
                                  const AnalysisOptions& options = {});

// The period of a known sample rate at the nominal line frequency.
double periodFromRate(double samplesPerSecond);

const char* phaseOrderName(PhaseOrder order); // "ABC", "ACB"

// The phases of one poll sequence (1..3, as fetched) from the unit's sample arrays, with the
// snapshot's readings of the same moment when there is one.
std::vector<PhaseWaves> unitPhaseWaves(const WaveformSamples& samples,
                                       const std::vector<int>& phases,
                                       const std::optional<Snapshot>& snapshot);

} // namespace torl7
