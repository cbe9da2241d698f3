// A COMTRADE reader for the tests, written from IEEE C37.111-1999 (clauses 6 and 7), not from
// the tool's writer: the configuration file's lines in their order, the ASCII data file's rows,
// and every analog value converted as the standard says, value = a * sample + b.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace torl7::testing {

struct ComtradeAnalog {
    int index = 0;
    std::string id, phase, circuit, unit;
    double a = 0, b = 0, skew = 0;
    long min = 0, max = 0;
    double primary = 0, secondary = 0;
    std::string ps;
};

struct ComtradeRecord {
    std::string station, device;
    int revision = 0;
    int total = 0, analogCount = 0, digitalCount = 0;
    std::vector<ComtradeAnalog> analogs;
    double lineFrequency = 0;
    std::vector<std::pair<double, long>> rates; // samp, endsamp
    std::string firstTime, triggerTime;         // "dd/mm/yyyy,hh:mm:ss.ssssss"
    std::string fileType;
    double timeMultiplier = 0;
    // Data rows: sample number, time stamp, then the converted values of each analog channel.
    std::vector<long> numbers, stamps;
    std::vector<std::vector<double>> values; // [channel][row]
    std::string error;                       // empty when both files read
};

inline std::vector<std::string> comtradeFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ',')) {
        fields.push_back(field);
    }
    if (!line.empty() && line.back() == ',') {
        fields.emplace_back();
    }
    return fields;
}

inline ComtradeRecord readComtrade(const std::string& cfg, const std::string& dat) {
    ComtradeRecord r;
    std::vector<std::string> lines;
    {
        std::istringstream in(cfg);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(line);
        }
    }
    std::size_t at = 0;
    const auto next = [&]() -> std::vector<std::string> {
        return at < lines.size() ? comtradeFields(lines[at++]) : std::vector<std::string>{};
    };
    try {
        auto f = next(); // station_name,rec_dev_id,rev_year
        if (f.size() != 3) {
            r.error = "line 1: 3 fields expected";
            return r;
        }
        r.station = f[0];
        r.device = f[1];
        r.revision = std::stoi(f[2]);
        f = next(); // TT,##A,##D
        if (f.size() != 3 || f[1].back() != 'A' || f[2].back() != 'D') {
            r.error = "line 2: TT,##A,##D expected";
            return r;
        }
        r.total = std::stoi(f[0]);
        r.analogCount = std::stoi(f[1].substr(0, f[1].size() - 1));
        r.digitalCount = std::stoi(f[2].substr(0, f[2].size() - 1));
        for (int n = 0; n < r.analogCount; ++n) {
            f = next(); // An,ch_id,ph,ccbm,uu,a,b,skew,min,max,primary,secondary,PS
            if (f.size() != 13) {
                r.error = "analog channel line: 13 fields expected";
                return r;
            }
            r.analogs.push_back({std::stoi(f[0]), f[1], f[2], f[3], f[4], std::stod(f[5]),
                                 std::stod(f[6]), std::stod(f[7]), std::stol(f[8]), std::stol(f[9]),
                                 std::stod(f[10]), std::stod(f[11]), f[12]});
        }
        for (int n = 0; n < r.digitalCount; ++n) {
            next(); // Dn,ch_id,ph,ccbm,y
        }
        r.lineFrequency = std::stod(next().at(0));
        const int nrates = std::stoi(next().at(0));
        for (int n = 0; n < nrates; ++n) {
            f = next();
            r.rates.emplace_back(std::stod(f.at(0)), std::stol(f.at(1)));
        }
        r.firstTime = lines.at(at++);
        r.triggerTime = lines.at(at++);
        r.fileType = lines.at(at++);
        r.timeMultiplier = std::stod(lines.at(at++));
    } catch (const std::exception& e) {
        r.error = std::string("cfg: ") + e.what();
        return r;
    }

    r.values.assign(static_cast<std::size_t>(r.analogCount), {});
    std::istringstream in(dat);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        const auto f = comtradeFields(line);
        if (f.size() != static_cast<std::size_t>(2 + r.analogCount + r.digitalCount)) {
            r.error = "dat: wrong field count in " + line;
            return r;
        }
        r.numbers.push_back(std::stol(f[0]));
        r.stamps.push_back(f[1].empty() ? -1 : std::stol(f[1]));
        for (int n = 0; n < r.analogCount; ++n) {
            const ComtradeAnalog& c = r.analogs[static_cast<std::size_t>(n)];
            r.values[static_cast<std::size_t>(n)].push_back(
                c.a * std::stod(f[static_cast<std::size_t>(2 + n)]) + c.b);
        }
    }
    return r;
}

} // namespace torl7::testing
