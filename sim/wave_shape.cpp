#include "sim/wave_shape.hpp"

#include "protocol/encodings.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace torl7::sim {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kNominalVolts = 230.0;

// 12.5 as "12.5", 10 as "10".
std::string parseableText(double value) {
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') {
        text.pop_back();
    }
    return text;
}

double decimalIn(const std::string& option, const std::string& text, double low, double high) {
    const auto value = parseDecimal(text);
    if (!value || *value < low || *value > high) {
        throw std::invalid_argument(option + " wants a number from " + parseableText(low) + " to " +
                                    parseableText(high) + ", not \"" + text + "\"");
    }
    return *value;
}

// "U" or "U,I": one value for the voltages and, when given, one for the currents.
std::pair<double, std::optional<double>>
onePerKind(const std::string& option, const std::string& text, double low, double high) {
    const auto comma = text.find(',');
    const double u = decimalIn(option, text.substr(0, comma), low, high);
    if (comma == std::string::npos) {
        return {u, std::nullopt};
    }
    return {u, decimalIn(option, text.substr(comma + 1), low, high)};
}

} // namespace

std::complex<double> phaseFactor(const WaveShape& shape, double unbalance, std::size_t p) {
    const double turn = 2.0 * kPi / 3.0 * static_cast<double>(p) * (shape.reversed ? -1.0 : 1.0);
    return std::polar(1.0, -turn) + std::polar(unbalance, turn);
}

std::array<double, kCoefficientCount>
unbalancedInputs(const WaveShape& shape, const std::array<double, kCoefficientCount>& balanced) {
    std::array<double, kCoefficientCount> inputs = balanced;
    for (std::size_t p = 0; p < 3; ++p) {
        inputs[p] *= std::abs(phaseFactor(shape, shape.voltageUnbalance, p));
        inputs[p + 3] *= std::abs(phaseFactor(shape, shape.currentUnbalance, p));
    }
    return inputs;
}

WaveformBlock waveformBlock(const WaveShape& shape, std::uint8_t selector, double volts,
                            double amps, double cosF, double ratedAmps) {
    const std::size_t p = (selector & 3u) - 1u;
    // The measurements already carry the unbalance's magnitudes; the angles come from here.
    const double uAngle = std::arg(phaseFactor(shape, shape.voltageUnbalance, p));
    const double lag = std::acos(std::clamp(std::fabs(cosF), 0.0, 1.0)) *
                       (shape.currentLagDeg && *shape.currentLagDeg < 0 ? -1.0 : 1.0);
    const double iAngle = std::arg(phaseFactor(shape, shape.currentUnbalance, p)) - lag;
    const double uPeak = std::min(120.0, shape.voltagePeakSteps * volts / kNominalVolts);
    const double iPeak = std::min(120.0, shape.currentPeakSteps * amps / ratedAmps);
    const auto wave = [&](double peak, double angle, double at) {
        double v = std::sin(at + angle);
        for (const auto& [order, share] : shape.harmonics) {
            v += share * std::sin(order * (at + angle));
        }
        return static_cast<std::uint8_t>(std::clamp(std::round(128.0 + peak * v), 0.0, 255.0));
    };
    WaveformBlock block;
    block.selector = selector;
    for (std::size_t i = 0; i < kWaveformSamples; ++i) {
        const double at = 2.0 * kPi * shape.periods * static_cast<double>(i) / kWaveformSamples;
        block.voltage[i] = wave(uPeak, uAngle, at);
        block.current[i] = wave(iPeak, iAngle, at);
    }
    return block;
}

const std::map<std::string, WaveOptionSetter>& waveOptionTable() {
    static const std::map<std::string, WaveOptionSetter> table = {
        {"--wave-periods",
         [](WaveShape& s, const std::string& v) {
             s.periods = decimalIn("--wave-periods", v, 0.5, 10);
         }},
        {"--wave-amplitude",
         [](WaveShape& s, const std::string& v) {
             const auto [u, i] = onePerKind("--wave-amplitude", v, 1, 127);
             s.voltagePeakSteps = u;
             s.currentPeakSteps = i.value_or(s.currentPeakSteps);
         }},
        {"--phase-shift",
         [](WaveShape& s, const std::string& v) {
             s.currentLagDeg = decimalIn("--phase-shift", v, -90, 90);
         }},
        {"--unbalance",
         [](WaveShape& s, const std::string& v) {
             const auto [u, i] = onePerKind("--unbalance", v, 0, 50);
             s.voltageUnbalance = u / 100.0;
             s.currentUnbalance = i.value_or(u) / 100.0;
         }},
        {"--harmonics",
         [](WaveShape& s, const std::string& v) {
             s.harmonics.clear();
             std::size_t at = 0;
             while (at <= v.size()) {
                 const std::string item = v.substr(at, v.find(',', at) - at);
                 const auto eq = item.find('=');
                 const auto order = parseInteger(item.substr(0, eq));
                 if (eq == std::string::npos || !order || *order < 2 || *order > 25) {
                     throw std::invalid_argument(
                         "--harmonics wants ORDER=PERCENT,... with ORDER from 2 to 25, not \"" +
                         item + "\"");
                 }
                 s.harmonics.emplace_back(static_cast<int>(*order),
                                          decimalIn("--harmonics", item.substr(eq + 1), 0, 50) /
                                              100.0);
                 at += item.size() + 1;
             }
         }},
    };
    return table;
}

std::string waveOptionsHelp() {
    return R"(
Waveforms (the 100 samples a phase of a waveform block):
  --wave-periods X      periods of the line in the 100 samples, 0.5..10 (default 1)
  --wave-amplitude U[,I]
                        peak in sample steps above the middle (128) of the voltage at 230 V
                        and of the current at the rated current, 1..127 (default 100,60)
  --phase-shift DEG     the angle each current lags its voltage by, -90..90 (negative: it
                        leads); the unit's cos f follows (default: the angle of cos f 0,85)
  --unbalance U[,I]     the negative-sequence share of the voltages (and of the currents; the
                        same when not given) in percent, 0..50; the phases' magnitudes and
                        angles follow, and so do the measured Ua .. Ic and asymmetry
  --harmonics N=P[,N=P...]
                        harmonic N (2..25) at P percent (0..50) of the fundamental, in voltages
                        and currents alike
  --reverse-order       the phases turn A-C-B (a motor wired to run backwards)
)";
}

} // namespace torl7::sim
