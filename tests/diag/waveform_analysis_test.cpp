#include "protocol/waveform_analysis.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>

namespace torl7 {
namespace {

using Complex = std::complex<double>;
constexpr double kPi = std::numbers::pi;

// A three-phase set from its symmetrical components: phase p (0..2) of a set turning A-B-C is
// 1 + k e^{jβ} a^p (a = e^{j120°}) times e^{-j120° p}; A-C-B swaps the two rotations.
struct ThreePhase {
    double unbalance = 0; // k: the counter-rotating component over the rotating one
    double unbalanceAngleDeg = 0;
    bool reversed = false;
};

Complex phasorOf(const ThreePhase& set, int p) {
    const Complex rotating = std::polar(1.0, -2.0 * kPi / 3.0 * p * (set.reversed ? -1 : 1));
    const Complex counter =
        std::polar(set.unbalance, set.unbalanceAngleDeg * kPi / 180.0 +
                                      2.0 * kPi / 3.0 * p * (set.reversed ? -1 : 1));
    return rotating + counter;
}

// 8-bit samples of peak * |x| cos(2πi/T + arg x), with harmonics h at share p_h (same angle
// times h), around 128.
std::vector<double> samplesOf(Complex x, double peak, double period,
                              const std::vector<std::pair<int, double>>& harmonics) {
    std::vector<double> s(100);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = 2.0 * kPi * static_cast<double>(i) / period + std::arg(x);
        double v = std::cos(t);
        for (const auto& [h, share] : harmonics) {
            v += share * std::cos(h * t);
        }
        s[i] = std::clamp(std::round(128.0 + peak * std::abs(x) * v), 0.0, 255.0);
    }
    return s;
}

double thdOf(const std::vector<std::pair<int, double>>& harmonics) {
    double sum = 0;
    for (const auto& [h, share] : harmonics) {
        sum += share * share;
    }
    return 100.0 * std::sqrt(sum);
}

double angleBetween(Complex u, Complex i) {
    return std::remainder((std::arg(u) - std::arg(i)) * 180.0 / kPi, 360.0);
}

PhaseWaves phaseOf(int phase, std::vector<double> u, std::vector<double> i) {
    PhaseWaves p;
    p.phase = phase;
    p.voltage = std::move(u);
    p.current = std::move(i);
    return p;
}

// Sets from the formula over 2 to 4 periods in 100 samples: every angle within 1.5°, the
// unbalance within 0.5 points, THD within 1 point, the phase order always right.
TEST(WaveformAnalysis, syntheticThreePhaseSetsReadWithinTheirTolerances) {
    std::mt19937 random(29);
    std::uniform_real_distribution<double> periods(25.0, 50.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int n = 0; n < 400; ++n) {
        const double period = periods(random);
        const ThreePhase u{0.1 * unit(random), 360 * unit(random), unit(random) < 0.5};
        const ThreePhase i{0.15 * unit(random), 360 * unit(random), u.reversed};
        const double lag = -60 + 150 * unit(random); // current against voltage, lagging > 0
        const double start = 360 * unit(random);     // where in the wave the set begins
        std::vector<std::pair<int, double>> uh, ih;
        for (int h = 2; h <= 7; ++h) {
            if (unit(random) < 0.4) {
                uh.emplace_back(h, 0.06 * unit(random));
            }
            if (unit(random) < 0.4) {
                ih.emplace_back(h, 0.08 * unit(random));
            }
        }
        const double uPeak = 60 + 25 * unit(random);
        const double iPeak = 45 + 25 * unit(random);
        std::vector<PhaseWaves> set;
        std::array<Complex, 3> up, ip;
        for (int p = 0; p < 3; ++p) {
            const Complex turn = std::polar(1.0, start * kPi / 180.0);
            up[p] = phasorOf(u, p) * turn;
            ip[p] = phasorOf(i, p) * turn * std::polar(1.0, -lag * kPi / 180.0);
            set.push_back(phaseOf(p + 1, samplesOf(up[p], uPeak, period, uh),
                                  samplesOf(ip[p], iPeak, period, ih)));
        }
        const WaveformAnalysis a = analyseWaveforms(set);
        ASSERT_TRUE(a.periodSamples) << a.problem;
        EXPECT_NEAR(*a.periodSamples, period, 0.002 * period) << n;
        ASSERT_EQ(a.phases.size(), 3u);
        for (int p = 0; p < 3; ++p) {
            ASSERT_TRUE(a.phases[p].angleDeg) << n;
            EXPECT_NEAR(*a.phases[p].angleDeg, angleBetween(up[p], ip[p]), 1.5) << n << ' ' << p;
            ASSERT_TRUE(a.phases[p].voltage.thdPercent && a.phases[p].current.thdPercent);
            EXPECT_NEAR(*a.phases[p].voltage.thdPercent, thdOf(uh), 1.0) << n;
            EXPECT_NEAR(*a.phases[p].current.thdPercent, thdOf(ih), 1.0) << n;
        }
        ASSERT_TRUE(a.sequence);
        ASSERT_TRUE(a.sequence->voltageUnbalancePercent && a.sequence->currentUnbalancePercent);
        EXPECT_NEAR(*a.sequence->voltageUnbalancePercent, 100 * u.unbalance, 0.5) << n;
        EXPECT_NEAR(*a.sequence->currentUnbalancePercent, 100 * i.unbalance, 0.5) << n;
        EXPECT_EQ(a.sequence->order, u.reversed ? PhaseOrder::Acb : PhaseOrder::Abc) << n;
    }
}

// Sets at the edges: a period given by the sample rate, one period in the samples (only a
// rising and a falling crossing per channel), a lost phase, and sets with no period to find.
TEST(WaveformAnalysis, edgeSetsGiveTheirPeriodAndUnbalanceOrSayWhyNot) {
    const auto sine = [](double peak, double period, double angleDeg, std::size_t size = 100) {
        std::vector<double> s(size);
        for (std::size_t i = 0; i < size; ++i) {
            s[i] = std::round(128 + peak * std::cos(2 * kPi * i / period + angleDeg * kPi / 180));
        }
        return s;
    };
    const struct {
        const char* name;
        std::vector<PhaseWaves> set;
        std::optional<double> givenPeriod;
        std::optional<double> period; // nothing: the problem below
        std::optional<double> unbalance;
        const char* problem;
    } cases[] = {
        {"rate given",
         {phaseOf(1, sine(90, 40, 0), sine(60, 40, -30))},
         2000.0 / 50,
         40.0,
         std::nullopt,
         ""},
        {"one period, three phases",
         {phaseOf(1, sine(100, 100, -90), sine(60, 100, -120)),
          phaseOf(2, sine(100, 100, 150), sine(60, 100, 120)),
          phaseOf(3, sine(100, 100, 30), sine(60, 100, 0))},
         std::nullopt,
         100.0,
         0.0,
         ""},
        // Uc gone: U1 = (1 + a a²)/3·|U| = 2/3, U2 = (1 + a² a²)/3 = 1/3.
        {"phase C lost",
         {phaseOf(1, sine(90, 40, 0), sine(60, 40, -30)),
          phaseOf(2, sine(90, 40, -120), sine(60, 40, -150)),
          phaseOf(3, std::vector<double>(100, 128), sine(60, 40, 90))},
         std::nullopt,
         40.0,
         50.0,
         ""},
        {"too flat",
         {phaseOf(1, sine(3, 40, 0), sine(2, 40, 0))},
         std::nullopt,
         std::nullopt,
         std::nullopt,
         "too flat"},
        {"too short",
         {phaseOf(1, sine(90, 250, 0), sine(60, 250, 0))},
         std::nullopt,
         std::nullopt,
         std::nullopt,
         "too short"},
        {"rate too low for the samples",
         {phaseOf(1, sine(90, 40, 0), sine(60, 40, 0))},
         150.0,
         std::nullopt,
         std::nullopt,
         "too short"},
    };
    for (const auto& c : cases) {
        AnalysisOptions options;
        options.periodSamples = c.givenPeriod;
        const WaveformAnalysis a = analyseWaveforms(c.set, options);
        if (!c.period) {
            EXPECT_FALSE(a.periodSamples) << c.name;
            EXPECT_TRUE(a.phases.empty()) << c.name;
            EXPECT_EQ(a.problem.rfind(c.problem, 0), 0u) << c.name << ": " << a.problem;
            continue;
        }
        ASSERT_TRUE(a.periodSamples) << c.name << ": " << a.problem;
        EXPECT_NEAR(*a.periodSamples, *c.period, 0.005 * *c.period) << c.name;
        EXPECT_EQ(a.sequence.has_value(), c.unbalance.has_value()) << c.name;
        if (c.unbalance) {
            EXPECT_NEAR(a.sequence->voltageUnbalancePercent.value_or(-1), *c.unbalance, 0.5)
                << c.name;
            EXPECT_EQ(a.sequence->order, PhaseOrder::Abc) << c.name;
        }
    }
}

// RMS in V and A: one scale for the three voltages from the unit's readings, so the phases keep
// the waveforms' own ratios; a record's multiplier per channel; nothing without either.
TEST(WaveformAnalysis, rmsReadsInVoltsAndAmpsFromReadingsOrTheRecordsMultiplier) {
    const auto sine = [](double peak, double angleDeg) {
        std::vector<double> s(100);
        for (std::size_t i = 0; i < s.size(); ++i) {
            s[i] = std::round(128 + peak * std::cos(2 * kPi * i / 40 + angleDeg * kPi / 180));
        }
        return s;
    };
    std::vector<PhaseWaves> set = {phaseOf(1, sine(100, 0), sine(60, -30)),
                                   phaseOf(2, sine(90, -120), sine(60, -150)),
                                   phaseOf(3, sine(80, 120), std::vector<double>(100, 128))};
    const std::array<double, 3> readings = {231, 229, 230};
    for (std::size_t p = 0; p < 3; ++p) {
        set[p].voltsReading = readings[p];
        set[p].ampsReading = p == 2 ? 0.0 : 12.0;
    }
    set[2].ampsPerStep = 0.25;
    const WaveformAnalysis a = analyseWaveforms(set);
    ASSERT_EQ(a.phases.size(), 3u);
    // Voltages: 690 V over 270 steps of peak, each phase its share of it.
    const double voltsPerPeakStep = (231.0 + 229 + 230) / (100 + 90 + 80);
    const std::array<double, 3> peaks = {100, 90, 80};
    for (std::size_t p = 0; p < 3; ++p) {
        EXPECT_NEAR(a.phases[p].voltage.rmsRaw, peaks[p] / std::sqrt(2.0), 0.3) << p;
        ASSERT_TRUE(a.phases[p].voltage.rms) << p;
        EXPECT_NEAR(*a.phases[p].voltage.rms, peaks[p] * voltsPerPeakStep, 0.5) << p;
    }
    // Currents A and B swing: 24 A over their two RMS values; C is flat and has a multiplier.
    EXPECT_NEAR(a.phases[0].current.rms.value_or(-1), 12, 0.1);
    EXPECT_NEAR(a.phases[2].current.rms.value_or(-1), 0, 1e-9);
    EXPECT_FALSE(a.phases[2].angleDeg) << "a flat current has no angle";
    ASSERT_TRUE(a.sequence);
    EXPECT_TRUE(a.sequence->scaled);
    EXPECT_NEAR(a.sequence->u1, (100 + 90 + 80) / 3.0 * voltsPerPeakStep, 0.5);

    set[0].voltsReading.reset();
    EXPECT_FALSE(analyseWaveforms(set).phases[0].voltage.rms) << "no reading, no scale";
    EXPECT_FALSE(analyseWaveforms(set).sequence->scaled);
}

} // namespace
} // namespace torl7
