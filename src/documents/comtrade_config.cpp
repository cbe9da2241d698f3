#include "documents/comtrade_text.hpp"

#include "protocol/encodings.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace torl7::comtrade {

std::string upper(std::string_view text) {
    std::string out(trimBlanks(text));
    for (char& c : out) {
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return out;
}

Lines splitLines(std::string_view text, int first) {
    Lines lines;
    lines.first = first;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.text.push_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const auto comma = line.find(',');
        fields.push_back(line.substr(0, comma));
        if (comma == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(comma + 1);
    }
}

namespace {

Fault badNumber(int line, std::string_view what, std::string_view russian, std::string_view text) {
    const std::string shown(text.substr(0, 40));
    return {line, std::string(what) + " is not a number: \"" + shown + "\"",
            std::string(russian) + " - не число: \"" + shown + "\""};
}

} // namespace

double number(std::string_view text, int line, std::string_view what, std::string_view russian) {
    text = trimBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value)) {
        throw badNumber(line, what, russian, text);
    }
    return value;
}

long whole(std::string_view text, int line, std::string_view what, std::string_view russian,
           long low, long high) {
    text = trimBlanks(text);
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        throw badNumber(line, what, russian, text);
    }
    if (value < low || value > high) {
        throw Fault{line,
                    std::string(what) + " " + std::to_string(value) + " is out of " +
                        std::to_string(low) + ".." + std::to_string(high),
                    std::string(russian) + " " + std::to_string(value) + " вне " +
                        std::to_string(low) + ".." + std::to_string(high)};
    }
    return value;
}

// Reads the configuration lines in their order.

namespace {

class CfgReader {
public:
    explicit CfgReader(const Lines& lines) : lines_(lines), at_(lines.first - 1) {}

    ComtradeRecord read() {
        ComtradeRecord r;
        auto f = next("station line", "строки станции");
        if (f.size() < 2 || f.size() > 3) {
            throw fieldCount("station_name,rec_dev_id,rev_year", "3");
        }
        r.station = std::string(trimBlanks(f[0]));
        r.device = std::string(trimBlanks(f[1]));
        r.revision =
            f.size() == 3 && !trimBlanks(f[2]).empty()
                ? static_cast<int>(whole(f[2], at_, "revision year", "год редакции", 1991, 2013))
                : 1991;
        if (r.revision != 1991 && r.revision != 1999 && r.revision != 2013) {
            throw Fault{at_, "revision year must be 1991, 1999 or 2013",
                        "год редакции должен быть 1991, 1999 или 2013"};
        }
        f = next("channel counts", "числа каналов");
        if (f.size() != 3 || upper(f[1]).ends_with('A') == false ||
            upper(f[2]).ends_with('D') == false) {
            throw Fault{at_, "channel counts must read TT,##A,##D",
                        "числа каналов должны иметь вид TT,##A,##D"};
        }
        const auto counted = [&](std::string_view field, const char* what, const char* russian) {
            const std::string_view digits =
                trimBlanks(field).substr(0, trimBlanks(field).size() - 1);
            return static_cast<int>(whole(digits, at_, what, russian, 0, kMaxChannels));
        };
        r.total = static_cast<int>(
            whole(f[0], at_, "channel total", "всего каналов", 0, 2 * kMaxChannels));
        r.analogCount = counted(f[1], "analog count", "число аналоговых каналов");
        r.digitalCount = counted(f[2], "digital count", "число дискретных каналов");
        if (r.total != r.analogCount + r.digitalCount) {
            throw Fault{at_, "channel total is not analog + digital",
                        "всего каналов не равно сумме аналоговых и дискретных"};
        }
        for (int n = 0; n < r.analogCount; ++n) {
            r.analogs.push_back(analog());
        }
        for (int n = 0; n < r.digitalCount; ++n) {
            f = next("digital channel line", "строки дискретного канала");
            if (f.size() < 3 || f.size() > 5) {
                throw fieldCount("Dn,ch_id,ph,ccbm,y", "5");
            }
        }
        const std::string_view frequency = one("line frequency", "частоты сети");
        r.lineFrequency = number(frequency, at_, "line frequency", "частота сети");
        const std::string_view rateCount = one("number of rates", "числа частот дискретизации");
        const long nrates =
            whole(rateCount, at_, "number of rates", "число частот дискретизации", 0, 999);
        long lastSample = 0;
        for (long n = 0; n < std::max(nrates, 1L); ++n) {
            f = next("sample rate line", "строки частоты дискретизации");
            if (f.size() != 2) {
                throw fieldCount("samp,endsamp", "2");
            }
            const double rate = number(f[0], at_, "sample rate", "частота дискретизации");
            const long end = whole(f[1], at_, "last sample number", "номер последнего отсчёта",
                                   lastSample + (nrates > 0 ? 1 : 0), kMaxSamples);
            if (rate < 0) {
                throw Fault{at_, "sample rate is negative", "частота дискретизации меньше нуля"};
            }
            r.rates.emplace_back(rate, end);
            lastSample = end;
        }
        if (nrates == 0) {
            r.rates.clear(); // the line says only how many samples the time stamps place
        }
        samples_ = lastSample;
        r.firstTime = timeLine("time of the first sample", "времени первого отсчёта");
        r.triggerTime = timeLine("trigger time", "времени пуска");
        r.fileType = upper(one("data file type", "типа файла данных"));
        if (r.fileType != "ASCII" && r.fileType != "BINARY" && r.fileType != "BINARY32" &&
            r.fileType != "FLOAT32") {
            throw Fault{at_, "data file type must be ASCII, BINARY, BINARY32 or FLOAT32",
                        "тип файла данных должен быть ASCII, BINARY, BINARY32 или FLOAT32"};
        }
        if (r.revision > 1991 || at_ < last()) {
            const std::string_view multiplier =
                one("time stamp multiplier", "множителя меток времени");
            r.timeMultiplier =
                number(multiplier, at_, "time stamp multiplier", "множитель меток времени");
        }
        // 2013 adds the time code and the time quality lines; nothing here needs them.
        return r;
    }

    long samples() const { return samples_; }

private:
    int last() const { return lines_.first + static_cast<int>(lines_.text.size()) - 1; }

    std::vector<std::string_view> next(const char* what, const char* russian) {
        const auto index = static_cast<std::size_t>(at_ + 1 - lines_.first);
        if (index >= lines_.text.size()) {
            throw Fault{at_ + 1, std::string("ends before the ") + what,
                        std::string("кончается до ") + russian};
        }
        ++at_;
        return splitFields(lines_.text[index]);
    }

    std::string_view one(const char* what, const char* russian) {
        const auto f = next(what, russian);
        if (f.size() != 1) {
            throw fieldCount(what, "1");
        }
        return f[0];
    }

    std::string timeLine(const char* what, const char* russian) {
        const auto f = next(what, russian);
        if (f.size() != 2) {
            throw fieldCount("dd/mm/yyyy,hh:mm:ss.ssssss", "2");
        }
        return std::string(trimBlanks(f[0])) + "," + std::string(trimBlanks(f[1]));
    }

    Fault fieldCount(const std::string& form, const char* count) const {
        return {at_, "expected " + form + " (" + count + " fields)",
                "ожидалось " + form + " (полей: " + count + ")"};
    }

    ComtradeAnalog analog() {
        const auto f = next("analog channel line", "строки аналогового канала");
        // 1991 ends after max; 1999 and 2013 add primary, secondary and PS.
        if (f.size() != 10 && f.size() != 13) {
            throw fieldCount("An,ch_id,ph,ccbm,uu,a,b,skew,min,max,primary,secondary,PS", "13");
        }
        ComtradeAnalog c;
        c.index = static_cast<int>(
            whole(f[0], at_, "channel number", "номер канала", 1, 2 * kMaxChannels));
        c.id = std::string(trimBlanks(f[1]));
        c.phase = std::string(trimBlanks(f[2]));
        c.circuit = std::string(trimBlanks(f[3]));
        c.unit = std::string(trimBlanks(f[4]));
        c.a = number(f[5], at_, "multiplier a", "множитель a");
        c.b = number(f[6], at_, "offset b", "смещение b");
        c.skew = number(f[7], at_, "skew", "сдвиг времени");
        c.min = number(f[8], at_, "min", "минимум");
        c.max = number(f[9], at_, "max", "максимум");
        if (f.size() == 13) {
            c.primary = number(f[10], at_, "primary", "первичное");
            c.secondary = number(f[11], at_, "secondary", "вторичное");
            c.ps = upper(f[12]);
            if (c.ps != "P" && c.ps != "S") {
                throw Fault{at_, "PS must be P or S", "PS должно быть P или S"};
            }
        }
        return c;
    }

    const Lines& lines_;
    int at_; // number of the line last read
    long samples_ = 0;
};

} // namespace

ComtradeRecord readConfiguration(const Lines& lines, long& samples) {
    CfgReader reader(lines);
    ComtradeRecord r = reader.read();
    samples = reader.samples();
    r.samples.assign(static_cast<std::size_t>(r.analogCount), {});
    return r;
}

} // namespace torl7::comtrade
