#include "protocol/waveform_analysis.hpp"

#include "protocol/harmonic_fit.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace torl7 {

namespace {

using Complex = std::complex<double>;
constexpr double kPi = std::numbers::pi;
// Passes of the period search: each takes the mean over the whole periods the last one found.
constexpr int kPeriodPasses = 3;
// A period found a little longer than the set (interpolation, noise) still counts as one.
constexpr double kPeriodSlack = 1.02;
// Crossings are counted only once the signal has gone this share of its half swing past zero.
constexpr double kHysteresis = 0.1;

double swingOf(const std::vector<double>& x) {
    if (x.empty()) {
        return 0;
    }
    const auto [low, high] = std::ranges::minmax_element(x);
    return *high - *low;
}

// Calls f(i, weight) over `window` samples from the first: whole samples, then the fraction of
// the next one, so that a window of 85.7 samples weighs 85.7.
template <class F> void overWindow(std::size_t size, double window, F&& f) {
    const auto whole = std::min(size, static_cast<std::size_t>(window));
    for (std::size_t i = 0; i < whole; ++i) {
        f(i, 1.0);
    }
    const double part = window - static_cast<double>(whole);
    if (whole < size && part > 1e-9) {
        f(whole, part);
    }
}

double meanOver(const std::vector<double>& x, double window) {
    double sum = 0;
    double weights = 0;
    overWindow(x.size(), window, [&](std::size_t i, double w) {
        sum += w * x[i];
        weights += w;
    });
    return weights > 0 ? sum / weights : 0;
}

struct Crossing {
    double at = 0;    // in samples from the first
    double slope = 0; // steps a sample: how surely the crossing is placed
};

struct Crossings {
    std::vector<Crossing> rising;
    std::vector<Crossing> falling;
};

// Zero crossings of x - mean, placed by linear interpolation between the two samples around
// zero; a crossing counts once the signal is `band` beyond zero on the other side.
Crossings crossingsOf(const std::vector<double>& x, double mean, double band) {
    Crossings found;
    int side = 0; // -1 below -band, +1 above +band, 0 not yet known
    std::size_t sideSince = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double v = x[i] - mean;
        const int now = v > band ? 1 : (v < -band ? -1 : 0);
        if (now == 0 || now == side) {
            if (now == side && now != 0) {
                sideSince = i;
            }
            continue;
        }
        if (side != 0) {
            // The last pair of samples between the two sides that straddles zero.
            for (std::size_t j = i; j > sideSince; --j) {
                const double a = x[j - 1] - mean;
                const double b = x[j] - mean;
                if ((now > 0 && a < 0 && b >= 0) || (now < 0 && a >= 0 && b < 0)) {
                    const double at = static_cast<double>(j - 1) + a / (a - b);
                    (now > 0 ? found.rising : found.falling).push_back({at, std::fabs(b - a)});
                    break;
                }
            }
        }
        side = now;
        sideSince = i;
    }
    return found;
}

struct PeriodSearch {
    std::optional<double> period;
    std::string problem;
};

PeriodSearch findPeriod(const std::vector<const std::vector<double>*>& channels, std::size_t size) {
    std::vector<double> means;
    for (const auto* x : channels) {
        means.push_back(meanOver(*x, static_cast<double>(size)));
    }
    std::optional<double> period;
    for (int pass = 0; pass < kPeriodPasses; ++pass) {
        // The spans from the first to the last crossing of one direction, each weighed by how
        // surely it is placed: its number of periods squared over the sum of the squared
        // uncertainties of its ends, which shrink with the slope there (a flat stretch through
        // zero leaves a crossing anywhere along it).
        double weighted = 0;
        double weights = 0;
        double halves = 0;
        int halfCount = 0;
        for (std::size_t c = 0; c < channels.size(); ++c) {
            const std::vector<double>& x = *channels[c];
            const Crossings found = crossingsOf(x, means[c], kHysteresis * swingOf(x) / 2);
            for (const auto* side : {&found.rising, &found.falling}) {
                if (side->size() < 2) {
                    continue;
                }
                const Crossing& first = side->front();
                const Crossing& last = side->back();
                const double periods = static_cast<double>(side->size() - 1);
                const double spread =
                    1 / (first.slope * first.slope) + 1 / (last.slope * last.slope);
                const double weight = periods * periods / spread;
                weighted += weight * (last.at - first.at) / periods;
                weights += weight;
            }
            if (!found.rising.empty() && !found.falling.empty()) {
                halves += std::fabs(found.falling.front().at - found.rising.front().at);
                ++halfCount;
            }
        }
        if (weights > 0) {
            period = weighted / weights;
        } else if (halfCount > 0) {
            period = 2 * halves / halfCount;
        } else {
            return {std::nullopt, "too short: no whole period in the samples"};
        }
        const double whole = std::floor(static_cast<double>(size) * kPeriodSlack / *period);
        if (whole < 1) {
            return {std::nullopt, "too short: the period is longer than the samples"};
        }
        const double window = std::min(static_cast<double>(size), whole * *period);
        for (std::size_t c = 0; c < channels.size(); ++c) {
            means[c] = meanOver(*channels[c], window);
        }
    }
    return {period, {}};
}

double degrees(double radians) {
    return radians * 180.0 / kPi;
}

// Into (-180, 180].
double wrapDegrees(double angle) {
    angle = std::fmod(angle, 360.0);
    if (angle <= -180.0) {
        angle += 360.0;
    } else if (angle > 180.0) {
        angle -= 360.0;
    }
    return angle;
}

ChannelAnalysis analyseChannel(const std::vector<double>& x, const HarmonicFit& fit,
                               double minSwing) {
    ChannelAnalysis c;
    c.flat = swingOf(x) < minSwing;
    if (x.size() < fit.window()) {
        c.flat = true; // a channel the record does not have
        return c;
    }
    const HarmonicFit::Result r = fit.fit(x);
    double power = r.residualSquare;
    for (const Complex& h : r.harmonics) {
        power += std::norm(h);
    }
    c.rmsRaw = std::sqrt(power);
    c.phasor = r.harmonics[1];
    const double fundamental = std::abs(c.phasor);
    if (c.flat || fundamental <= 0) {
        return c;
    }
    c.angleDeg = degrees(std::arg(c.phasor));
    // Noise (the 8-bit steps first of all) puts about 2σ²/W into every harmonic's power; taken
    // off, a clean sine of 35 steps shows a THD near 0 rather than 0.6 %.
    const double window = static_cast<double>(fit.window());
    const double freedom = window - (2.0 * fit.last() + 1.0);
    const double noise = freedom > 0 ? 2.0 * r.residualSquare * window / freedom / window : 0.0;
    double distortion = 0;
    for (int h = 2; h <= fit.last(); ++h) {
        const double power = std::norm(r.harmonics[static_cast<std::size_t>(h)]) - noise;
        const double share = std::sqrt(std::max(power, 0.0)) / fundamental;
        distortion += share * share;
        if (h <= kLastHarmonicShown) {
            c.harmonicsPercent[static_cast<std::size_t>(h - kFirstHarmonicShown)] = 100 * share;
        }
    }
    if (fit.last() >= 2) {
        c.thdPercent = 100 * std::sqrt(distortion);
    }
    return c;
}

// One scale for the three voltages (or currents) of a set: the sum of the unit's readings over
// the sum of the RMS values of the channels that swing. The ratios between the phases stay
// the waveforms' own, so noise in the readings cannot make up an unbalance.
std::optional<double> commonScale(const std::vector<PhaseWaves>& phases,
                                  const std::vector<PhaseAnalysis>& done, bool voltage) {
    double readings = 0;
    double raw = 0;
    for (std::size_t p = 0; p < phases.size(); ++p) {
        const auto& reading = voltage ? phases[p].voltsReading : phases[p].ampsReading;
        const ChannelAnalysis& c = voltage ? done[p].voltage : done[p].current;
        if (reading && !c.flat) {
            readings += *reading;
            raw += c.rmsRaw;
        }
    }
    if (raw > 0) {
        return readings / raw;
    }
    return std::nullopt;
}

void setScale(ChannelAnalysis& c, const std::optional<double>& perStep,
              const std::optional<double>& reading, const std::optional<double>& common) {
    c.unitsPerStep = perStep ? perStep : (reading ? common : std::nullopt);
    if (c.unitsPerStep) {
        c.rms = c.rmsRaw * *c.unitsPerStep;
    }
}

struct Sequence {
    double positive = 0, negative = 0, zero = 0;
    std::optional<double> unbalancePercent;
    std::optional<PhaseOrder> order;
};

Sequence sequenceOf(const std::array<Complex, 3>& x, bool present) {
    const Complex a = std::polar(1.0, 2.0 * kPi / 3.0);
    Sequence s;
    s.zero = std::abs(x[0] + x[1] + x[2]) / 3.0;
    s.positive = std::abs(x[0] + a * x[1] + a * a * x[2]) / 3.0;
    s.negative = std::abs(x[0] + a * a * x[1] + a * x[2]) / 3.0;
    const double stronger = std::max(s.positive, s.negative);
    if (present && stronger > 0) {
        s.unbalancePercent = 100.0 * std::min(s.positive, s.negative) / stronger;
        s.order = s.positive >= s.negative ? PhaseOrder::Abc : PhaseOrder::Acb;
    }
    return s;
}

std::optional<SequenceAnalysis> sequenceOf(const std::vector<PhaseAnalysis>& phases) {
    std::array<const PhaseAnalysis*, 3> byPhase{};
    for (const PhaseAnalysis& p : phases) {
        if (p.phase >= 1 && p.phase <= 3) {
            byPhase[static_cast<std::size_t>(p.phase - 1)] = &p;
        }
    }
    if (std::ranges::count(byPhase, nullptr) > 0) {
        return std::nullopt;
    }
    SequenceAnalysis s;
    s.scaled = std::ranges::all_of(byPhase, [](const PhaseAnalysis* p) {
        return p->voltage.unitsPerStep.has_value() && p->current.unitsPerStep.has_value();
    });
    std::array<Complex, 3> u;
    std::array<Complex, 3> i;
    bool voltagePresent = false;
    bool currentPresent = false;
    for (std::size_t k = 0; k < 3; ++k) {
        const PhaseAnalysis& p = *byPhase[k];
        u[k] = p.voltage.phasor * (s.scaled ? *p.voltage.unitsPerStep : 1.0);
        i[k] = p.current.phasor * (s.scaled ? *p.current.unitsPerStep : 1.0);
        voltagePresent = voltagePresent || !p.voltage.flat;
        currentPresent = currentPresent || !p.current.flat;
    }
    const Sequence us = sequenceOf(u, voltagePresent);
    const Sequence is = sequenceOf(i, currentPresent);
    s.u1 = us.positive, s.u2 = us.negative, s.u0 = us.zero;
    s.i1 = is.positive, s.i2 = is.negative, s.i0 = is.zero;
    s.voltageUnbalancePercent = us.unbalancePercent;
    s.currentUnbalancePercent = is.unbalancePercent;
    s.order = us.order ? us.order : is.order;
    return s;
}

} // namespace

double periodFromRate(double samplesPerSecond) {
    return samplesPerSecond / kNominalLineHz;
}

const char* phaseOrderName(PhaseOrder order) {
    return order == PhaseOrder::Abc ? "ABC" : "ACB";
}

std::vector<PhaseWaves> unitPhaseWaves(const WaveformSamples& samples,
                                       const std::vector<int>& phases,
                                       const std::optional<Snapshot>& snapshot) {
    std::vector<PhaseWaves> waves;
    for (const int phase : phases) {
        if (phase < 1 || phase > kPhases) {
            continue;
        }
        const auto k = static_cast<std::size_t>(phase - 1);
        PhaseWaves p;
        p.phase = phase;
        p.voltage.assign(samples.voltage[k].begin(), samples.voltage[k].end());
        p.current.assign(samples.current[k].begin(), samples.current[k].end());
        if (snapshot) {
            const std::array<std::uint16_t, 3> volts = {snapshot->uaVolts, snapshot->ubVolts,
                                                        snapshot->ucVolts};
            const std::array<std::uint16_t, 3> tenths = {
                snapshot->iaTenthsAmp, snapshot->ibTenthsAmp, snapshot->icTenthsAmp};
            p.voltsReading = volts[k];
            p.ampsReading = tenths[k] / 10.0;
        }
        waves.push_back(std::move(p));
    }
    return waves;
}

WaveformAnalysis analyseWaveforms(const std::vector<PhaseWaves>& phases,
                                  const AnalysisOptions& options) {
    WaveformAnalysis result;
    std::size_t size = 0;
    std::vector<const std::vector<double>*> timed;
    for (const PhaseWaves& p : phases) {
        size = std::max({size, p.voltage.size(), p.current.size()});
        for (const auto* x : {&p.voltage, &p.current}) {
            if (swingOf(*x) >= options.minSwingSteps) {
                timed.push_back(x);
            }
        }
    }
    if (options.periodSamples && *options.periodSamples > 1) {
        result.periodSamples = options.periodSamples;
    } else if (timed.empty()) {
        result.problem = "too flat: no channel swings enough to find a period";
        return result;
    } else {
        const PeriodSearch search = findPeriod(timed, size);
        result.periodSamples = search.period;
        result.problem = search.problem;
    }
    if (!result.periodSamples) {
        return result;
    }
    const double period = *result.periodSamples;
    const double whole = std::floor(static_cast<double>(size) * kPeriodSlack / period);
    if (whole < 1) {
        result.problem = "too short: the period is longer than the samples";
        result.periodSamples.reset();
        return result;
    }
    const auto window =
        static_cast<std::size_t>(std::min(static_cast<double>(size), std::round(whole * period)));
    result.windowSamples = static_cast<double>(window);
    // Harmonics up to the 13th, and below 45 % of the sample rate, where a sine still has
    // samples enough to be told from a cosine.
    const int last = std::min(kLastHarmonicOfThd, static_cast<int>(std::ceil(0.45 * period)) - 1);
    const HarmonicFit fit(period, window, std::max(last, 1));

    for (const PhaseWaves& p : phases) {
        PhaseAnalysis a;
        a.phase = p.phase;
        a.voltage = analyseChannel(p.voltage, fit, options.minSwingSteps);
        a.current = analyseChannel(p.current, fit, options.minSwingSteps);
        if (a.voltage.angleDeg && a.current.angleDeg) {
            a.angleDeg = wrapDegrees(*a.voltage.angleDeg - *a.current.angleDeg);
            a.cosPhi = std::cos(*a.angleDeg * kPi / 180.0);
        }
        result.phases.push_back(a);
    }
    const auto voltsScale = commonScale(phases, result.phases, true);
    const auto ampsScale = commonScale(phases, result.phases, false);
    for (std::size_t n = 0; n < phases.size(); ++n) {
        PhaseAnalysis& a = result.phases[n];
        const PhaseWaves& p = phases[n];
        setScale(a.voltage, p.voltsPerStep, p.voltsReading, voltsScale);
        setScale(a.current, p.ampsPerStep, p.ampsReading, ampsScale);
    }
    result.sequence = sequenceOf(result.phases);
    return result;
}

} // namespace torl7
