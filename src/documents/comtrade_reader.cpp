#include "documents/comtrade_reader.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace torl7 {

namespace {

// A fault found while reading: where, and why in both languages. Thrown inside the reader,
// caught at its edge and turned into the ComtradeError that names the file.
struct Fault {
    int line;
    std::string english;
    std::string russian;
};

// The most samples and channels a record may claim: far beyond any recorder, small enough that
// nothing sized from them runs out of memory.
constexpr long kMaxSamples = 50'000'000;
constexpr int kMaxChannels = 100'000;

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string upper(std::string_view text) {
    std::string out(trim(text));
    for (char& c : out) {
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return out;
}

// The lines of a text: split at LF, a CR before it dropped; `first` is the number of the
// first line (a .cff section starts deep in its file).
struct Lines {
    std::vector<std::string_view> text;
    int first = 1;
};

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

Fault badNumber(int line, std::string_view what, std::string_view russian, std::string_view text) {
    const std::string shown(text.substr(0, 40));
    return {line, std::string(what) + " is not a number: \"" + shown + "\"",
            std::string(russian) + " - не число: \"" + shown + "\""};
}

double number(std::string_view text, int line, std::string_view what, std::string_view russian) {
    text = trim(text);
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
    text = trim(text);
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
class CfgReader {
public:
    explicit CfgReader(const Lines& lines) : lines_(lines), at_(lines.first - 1) {}

    ComtradeRecord read() {
        ComtradeRecord r;
        auto f = next("station line", "строки станции");
        if (f.size() < 2 || f.size() > 3) {
            throw fieldCount("station_name,rec_dev_id,rev_year", "3");
        }
        r.station = std::string(trim(f[0]));
        r.device = std::string(trim(f[1]));
        r.revision =
            f.size() == 3 && !trim(f[2]).empty()
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
            const std::string_view digits = trim(field).substr(0, trim(field).size() - 1);
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
        return std::string(trim(f[0])) + "," + std::string(trim(f[1]));
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
        c.id = std::string(trim(f[1]));
        c.phase = std::string(trim(f[2]));
        c.circuit = std::string(trim(f[3]));
        c.unit = std::string(trim(f[4]));
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

ComtradeRecord readCfgLines(const Lines& lines, long& samples) {
    CfgReader reader(lines);
    ComtradeRecord r = reader.read();
    samples = reader.samples();
    r.samples.assign(static_cast<std::size_t>(r.analogCount), {});
    return r;
}

void checkCount(const ComtradeRecord& r, long samples, int line) {
    if (static_cast<long>(r.numbers.size()) != samples) {
        throw Fault{line,
                    "holds " + std::to_string(r.numbers.size()) + " samples, the configuration " +
                        std::to_string(samples),
                    "содержит отсчётов: " + std::to_string(r.numbers.size()) +
                        ", в конфигурации: " + std::to_string(samples)};
    }
}

void readAscii(const Lines& lines, ComtradeRecord& r, long samples) {
    const std::size_t fields = 2 + static_cast<std::size_t>(r.analogCount + r.digitalCount);
    // 1999 marks a missing value 99999; 2013 leaves the field empty.
    const double missing = 99999;
    int line = lines.first - 1;
    for (const std::string_view text : lines.text) {
        ++line;
        if (trim(text).empty() || trim(text) == "\x1a") {
            continue;
        }
        if (static_cast<long>(r.numbers.size()) >= samples) {
            throw Fault{line, "more samples than the configuration's " + std::to_string(samples),
                        "отсчётов больше, чем в конфигурации (" + std::to_string(samples) + ")"};
        }
        const auto f = splitFields(text);
        if (f.size() != fields) {
            throw Fault{line, "expected " + std::to_string(fields) + " fields",
                        "ожидалось полей: " + std::to_string(fields)};
        }
        r.numbers.push_back(whole(f[0], line, "sample number", "номер отсчёта", 0,
                                  std::numeric_limits<std::uint32_t>::max()));
        r.stamps.push_back(trim(f[1]).empty() ? -1
                                              : whole(f[1], line, "time stamp", "метка времени", 0,
                                                      std::numeric_limits<long>::max()));
        for (int n = 0; n < r.analogCount; ++n) {
            const std::string_view v = f[static_cast<std::size_t>(2 + n)];
            const double value = trim(v).empty() ? missing : number(v, line, "value", "значение");
            r.samples[static_cast<std::size_t>(n)].push_back(
                value == missing ? std::numeric_limits<double>::quiet_NaN() : value);
        }
    }
    checkCount(r, samples, line);
}

template <class T> T little(const unsigned char* at) {
    std::uint32_t bits = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) {
        bits = bits << 8 | at[i];
    }
    T value;
    if constexpr (sizeof(T) == 2) {
        const auto narrow = static_cast<std::uint16_t>(bits);
        std::memcpy(&value, &narrow, sizeof value);
    } else {
        std::memcpy(&value, &bits, sizeof value);
    }
    return value;
}

void readBinary(std::string_view bytes, ComtradeRecord& r, long samples) {
    const std::size_t width = r.fileType == "BINARY" ? 2 : 4;
    const std::size_t record = 8 + width * static_cast<std::size_t>(r.analogCount) +
                               2 * ((static_cast<std::size_t>(r.digitalCount) + 15) / 16);
    if (bytes.size() != record * static_cast<std::size_t>(samples)) {
        throw Fault{0,
                    std::to_string(bytes.size()) + " bytes where " + std::to_string(samples) +
                        " samples of " + std::to_string(record) + " bytes take " +
                        std::to_string(record * static_cast<std::size_t>(samples)),
                    "байт: " + std::to_string(bytes.size()) + ", а " + std::to_string(samples) +
                        " отсчётов по " + std::to_string(record) + " байт занимают " +
                        std::to_string(record * static_cast<std::size_t>(samples))};
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (long s = 0; s < samples; ++s, data += record) {
        r.numbers.push_back(static_cast<long>(little<std::uint32_t>(data)));
        const std::uint32_t stamp = little<std::uint32_t>(data + 4);
        r.stamps.push_back(stamp == 0xFFFFFFFFu ? -1 : static_cast<long>(stamp));
        for (std::size_t n = 0; n < static_cast<std::size_t>(r.analogCount); ++n) {
            const unsigned char* v = data + 8 + width * n;
            double value = 0;
            if (r.fileType == "BINARY") {
                const auto x = little<std::int16_t>(v);
                value = x == std::numeric_limits<std::int16_t>::min() ? nan : x;
            } else if (r.fileType == "BINARY32") {
                const auto x = little<std::int32_t>(v);
                value = x == std::numeric_limits<std::int32_t>::min() ? nan : x;
            } else {
                value = little<float>(v);
            }
            r.samples[n].push_back(value);
        }
    }
}

ComtradeRead failed(const std::string& file, const Fault& fault) {
    return {std::nullopt, ComtradeError{file, fault.line, fault.english, fault.russian}};
}

std::string located(const ComtradeError& e, const char* line) {
    return e.file + (e.line > 0 ? std::string(", ") + line + " " + std::to_string(e.line) : "");
}

} // namespace

double ComtradeRecord::sampleRate() const {
    return rates.empty() ? 0 : rates.front().first;
}

std::string ComtradeError::text() const {
    return located(*this, "line") + ": " + reason;
}

std::string ComtradeError::textRussian() const {
    return located(*this, "строка") + ": " + reasonRussian;
}

ComtradeRead readComtrade(std::string_view cfg, std::string_view dat, const std::string& cfgName,
                          const std::string& datName) {
    if (cfg.starts_with("\xEF\xBB\xBF")) {
        cfg.remove_prefix(3); // a byte-order mark some editors put before UTF-8 text
    }
    ComtradeRecord record;
    long samples = 0;
    try {
        record = readCfgLines(splitLines(cfg, 1), samples);
    } catch (const Fault& fault) {
        return failed(cfgName, fault);
    }
    try {
        if (record.fileType == "ASCII") {
            readAscii(splitLines(dat, 1), record, samples);
        } else {
            readBinary(dat, record, samples);
        }
    } catch (const Fault& fault) {
        return failed(datName, fault);
    }
    return {std::move(record), {}};
}

ComtradeRead readComtradeCff(std::string_view cff, const std::string& name) {
    // Sections open with "--- file type: CFG ---", "... INF ---", "... HDR ---", and last
    // "--- file type: DAT ASCII ---" or "--- file type: DAT BINARY: <bytes> ---".
    struct Section {
        std::string type;
        std::size_t start = 0; // byte offset of the section's first line
        int line = 0;          // its number in the file
        long bytes = -1;       // a binary DAT's byte count
    };
    std::vector<Section> sections;
    try {
        std::size_t at = 0;
        int line = 1;
        while (at < cff.size()) {
            const std::size_t end = std::min(cff.find('\n', at), cff.size());
            std::string_view text = cff.substr(at, end - at);
            if (text.ends_with('\r')) {
                text.remove_suffix(1);
            }
            const std::string head = upper(text);
            const std::string marker = "--- FILE TYPE:";
            if (head.starts_with(marker)) {
                Section s;
                std::string type(trim(std::string_view(head).substr(marker.size())));
                if (type.ends_with("---")) {
                    type = std::string(trim(std::string_view(type).substr(0, type.size() - 3)));
                }
                if (const auto colon = type.find(':'); colon != std::string::npos) {
                    s.bytes =
                        whole(std::string_view(type).substr(colon + 1), line, "section byte count",
                              "число байт раздела", 0, std::numeric_limits<long>::max());
                    type = std::string(trim(std::string_view(type).substr(0, colon)));
                }
                s.type = type;
                s.start = std::min(end + 1, cff.size());
                s.line = line + 1;
                sections.push_back(s);
                if (type.starts_with("DAT")) {
                    break; // the data run to the end, whatever bytes they hold
                }
            }
            at = end + 1;
            ++line;
        }
        const auto find = [&](std::string_view prefix) -> const Section* {
            for (const Section& s : sections) {
                if (s.type.starts_with(prefix)) {
                    return &s;
                }
            }
            return nullptr;
        };
        const Section* cfgSection = find("CFG");
        const Section* datSection = find("DAT");
        if (!cfgSection || !datSection) {
            throw Fault{0, "no CFG or DAT section", "нет раздела CFG или DAT"};
        }
        // The CFG section ends where the next section's marker line begins.
        std::size_t cfgEnd = datSection->start;
        for (const Section& s : sections) {
            if (s.start > cfgSection->start) {
                cfgEnd = std::min(cfgEnd, cff.rfind('\n', s.start - 2) + 1);
            }
        }
        ComtradeRecord record;
        long samples = 0;
        record = readCfgLines(
            splitLines(cff.substr(cfgSection->start, cfgEnd - cfgSection->start), cfgSection->line),
            samples);
        std::string_view data = cff.substr(datSection->start);
        if (record.fileType == "ASCII") {
            readAscii(splitLines(data, datSection->line), record, samples);
        } else {
            if (datSection->bytes < 0 ||
                static_cast<std::size_t>(datSection->bytes) > data.size()) {
                throw Fault{datSection->line - 1, "binary data section without its byte count",
                            "двоичный раздел данных без числа байт"};
            }
            readBinary(data.substr(0, static_cast<std::size_t>(datSection->bytes)), record,
                       samples);
        }
        return {std::move(record), {}};
    } catch (const Fault& fault) {
        return failed(name, fault);
    }
}

namespace {

std::optional<std::string> slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

ComtradeRead readComtradeFile(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path file(std::u8string(path.begin(), path.end()));
    const auto name = [](const fs::path& p) {
        const std::u8string text = p.filename().u8string();
        return std::string(text.begin(), text.end());
    };
    const auto unreadable = [&](const fs::path& p) {
        return failed(name(p), {0, "cannot be read", "не удаётся прочитать"});
    };
    const auto first = slurp(file);
    if (!first) {
        return unreadable(file);
    }
    std::string extension = upper(name(file.extension()));
    if (extension == ".CFF") {
        return readComtradeCff(*first, name(file));
    }
    // The data file beside it, named like it; a recorder on another system may have written
    // the extension in capitals.
    for (const char* suffix : {".dat", ".DAT"}) {
        fs::path dat = file;
        dat.replace_extension(suffix);
        if (const auto data = slurp(dat)) {
            return readComtrade(*first, *data, name(file), name(dat));
        }
    }
    fs::path dat = file;
    return unreadable(dat.replace_extension(".dat"));
}

} // namespace torl7
