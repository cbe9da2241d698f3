#include "documents/comtrade_reader.hpp"

#include "documents/comtrade_text.hpp"
#include "protocol/encodings.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace torl7 {

using namespace comtrade;

namespace {

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
        if (trimBlanks(text).empty() || trimBlanks(text) == "\x1a") {
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
        r.stamps.push_back(trimBlanks(f[1]).empty()
                               ? -1
                               : whole(f[1], line, "time stamp", "метка времени", 0,
                                       std::numeric_limits<long>::max()));
        for (int n = 0; n < r.analogCount; ++n) {
            const std::string_view v = f[static_cast<std::size_t>(2 + n)];
            const double value =
                trimBlanks(v).empty() ? missing : number(v, line, "value", "значение");
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
        record = readConfiguration(splitLines(cfg, 1), samples);
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
                std::string type(trimBlanks(std::string_view(head).substr(marker.size())));
                if (type.ends_with("---")) {
                    type =
                        std::string(trimBlanks(std::string_view(type).substr(0, type.size() - 3)));
                }
                if (const auto colon = type.find(':'); colon != std::string::npos) {
                    s.bytes =
                        whole(std::string_view(type).substr(colon + 1), line, "section byte count",
                              "число байт раздела", 0, std::numeric_limits<long>::max());
                    type = std::string(trimBlanks(std::string_view(type).substr(0, colon)));
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
        record = readConfiguration(
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
