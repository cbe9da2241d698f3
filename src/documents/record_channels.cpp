#include "documents/record_channels.hpp"

#include "protocol/encodings.hpp"

#include <algorithm>
#include <cmath>

namespace torl7 {

namespace {

std::string lower(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c != ' ' && c != '_') {
            out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    return out;
}

// 0..2 for phase A, B, C (or L1, L2, L3); nothing otherwise.
std::optional<std::size_t> phaseIndex(std::string_view phase) {
    const std::string p = lower(phase);
    for (std::size_t k = 0; k < 3; ++k) {
        if (p == std::string(1, static_cast<char>('a' + k)) || p == "l" + std::to_string(k + 1)) {
            return k;
        }
    }
    return std::nullopt;
}

// Volts or amperes per unit of the channel's unit; nothing for anything else.
std::optional<double> unitFactor(std::string_view unit, bool voltage) {
    const std::string u = lower(unit);
    const std::string base = voltage ? "v" : "a";
    if (u == base) {
        return 1.0;
    }
    if (u == "k" + base) {
        return 1000.0;
    }
    return std::nullopt;
}

} // namespace

ChannelMap guessChannelMap(const ComtradeRecord& record) {
    ChannelMap map;
    std::vector<bool> used(record.analogs.size(), false);
    const auto take = [&](std::size_t role, auto&& fits) {
        for (std::size_t n = 0; n < record.analogs.size() && !map[role]; ++n) {
            if (!used[n] && fits(record.analogs[n])) {
                map[role] = n;
                used[n] = true;
            }
        }
    };
    for (std::size_t role = 0; role < map.size(); ++role) {
        take(role, [&](const ComtradeAnalog& c) { return lower(c.id) == lower(kRoleNames[role]); });
    }
    for (std::size_t role = 0; role < map.size(); ++role) {
        take(role, [&](const ComtradeAnalog& c) {
            return phaseIndex(c.phase) == role % 3 && unitFactor(c.unit, role < 3).has_value();
        });
    }
    return map;
}

std::optional<ChannelMap> parseChannelMap(std::string_view text, const ComtradeRecord& record,
                                          std::string& error) {
    ChannelMap map;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const auto eq = item.find('=');
        const auto role = std::find_if(kRoleNames.begin(), kRoleNames.end(), [&](const char* r) {
            return eq != std::string_view::npos && lower(item.substr(0, eq)) == lower(r);
        });
        if (role == kRoleNames.end()) {
            error = "\"" + std::string(item) +
                    "\": expected ROLE=CHANNEL with ROLE one of Ua, "
                    "Ub, Uc, Ia, Ib, Ic";
            return std::nullopt;
        }
        const std::string_view channel = item.substr(eq + 1);
        const auto number = parseInteger(channel);
        std::optional<std::size_t> found;
        for (std::size_t n = 0; n < record.analogs.size() && !found; ++n) {
            const ComtradeAnalog& c = record.analogs[n];
            if ((number && c.index == *number) || (!number && c.id == channel)) {
                found = n;
            }
        }
        if (!found) {
            error = "\"" + std::string(item) + "\": the record has no analog channel \"" +
                    std::string(channel) + "\"";
            return std::nullopt;
        }
        map[static_cast<std::size_t>(role - kRoleNames.begin())] = found;
    }
    return map;
}

bool mapsAPhase(const ChannelMap& map) {
    for (std::size_t k = 0; k < 3; ++k) {
        if (map[k] && map[k + 3]) {
            return true;
        }
    }
    return false;
}

std::vector<PhaseWaves> recordPhaseWaves(const ComtradeRecord& record, const ChannelMap& map) {
    std::vector<PhaseWaves> phases;
    const auto values = [&](std::size_t role, std::optional<double>& perStep) {
        std::vector<double> out;
        if (!map[role] || *map[role] >= record.samples.size()) {
            return out;
        }
        const ComtradeAnalog& c = record.analogs[*map[role]];
        out = record.samples[*map[role]];
        double last = 0;
        for (double& v : out) {
            v = std::isnan(v) ? last : v;
            last = v;
        }
        if (const auto factor = unitFactor(c.unit, role < 3)) {
            perStep = c.a * *factor;
        }
        return out;
    };
    for (std::size_t k = 0; k < 3; ++k) {
        if (!map[k] && !map[k + 3]) {
            continue;
        }
        PhaseWaves p;
        p.phase = static_cast<int>(k) + 1;
        p.voltage = values(k, p.voltsPerStep);
        p.current = values(k + 3, p.ampsPerStep);
        phases.push_back(std::move(p));
    }
    return phases;
}

AnalysisOptions recordAnalysisOptions(const ComtradeRecord& record,
                                      const std::vector<PhaseWaves>& phases) {
    AnalysisOptions options;
    if (record.fileType != "FLOAT32") {
        return options;
    }
    double widest = 0;
    for (const PhaseWaves& p : phases) {
        for (const auto* x : {&p.voltage, &p.current}) {
            if (!x->empty()) {
                const auto [low, high] = std::ranges::minmax_element(*x);
                widest = std::max(widest, *high - *low);
            }
        }
    }
    options.minSwingSteps = widest / 32;
    return options;
}

} // namespace torl7
