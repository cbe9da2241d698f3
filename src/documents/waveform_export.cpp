#include "documents/waveform_export.hpp"

#include "documents/events_csv.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace torl7 {

namespace {

// Shortest text that reads back as the same number: "2000", "1562.5".
std::string numberText(double value) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// A .cfg field may not hold the comma that separates the fields.
std::string cfgField(std::string text) {
    for (char& c : text) {
        if (c == ',' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

std::string cfgTime(const WaveformExport& r) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d,%02d:%02d:%02d.%06d", r.day % 100,
                  r.month % 100, r.year % 10000, r.hour % 100, r.minute % 100, r.second % 100,
                  r.microsecond % 1000000);
    return text;
}

} // namespace

void setArrival(WaveformExport& record, std::time_t seconds, int microseconds) {
    std::tm local{};
    std::tm utc{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
    gmtime_s(&utc, &seconds);
#else
    localtime_r(&seconds, &local);
    gmtime_r(&seconds, &utc);
#endif
    // Days apart are at most one, across midnight: the year day tells which way.
    int days = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year) {
        days = local.tm_year > utc.tm_year ? 1 : -1;
    }
    record.utcOffsetMinutes =
        (days * 24 + local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min;
    record.year = local.tm_year + 1900;
    record.month = local.tm_mon + 1;
    record.day = local.tm_mday;
    record.hour = local.tm_hour;
    record.minute = local.tm_min;
    record.second = local.tm_sec;
    record.microsecond = microseconds;
}

std::vector<int> phasesOfBlocks(const std::array<std::uint8_t, kPhases>& selectors, int count) {
    std::vector<int> phases;
    for (int i = 0; i < count && i < kPhases; ++i) {
        phases.push_back(selectors[static_cast<std::size_t>(i)] & 3);
    }
    return phases;
}

std::vector<WaveformChannel> waveformChannels(const WaveformExport& record) {
    std::vector<WaveformChannel> channels;
    for (const bool voltage : {true, false}) {
        for (const int phase : record.phases) {
            if (phase < 1 || phase > kPhases) {
                continue;
            }
            const auto index = static_cast<std::size_t>(phase - 1);
            const char letter = static_cast<char>('A' + phase - 1);
            channels.push_back(
                {std::string(voltage ? "U" : "I") + static_cast<char>('a' + phase - 1), letter,
                 voltage ? &record.samples.voltage[index] : &record.samples.current[index]});
        }
    }
    return channels;
}

std::optional<double> parseSampleRate(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    std::string plain(text);
    for (char& c : plain) {
        if (c == ',') {
            c = '.';
        }
    }
    double rate = 0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), rate);
    if (plain.empty() || error != std::errc() || end != plain.data() + plain.size() ||
        !std::isfinite(rate) || rate < kMinSampleRateHz || rate > kMaxSampleRateHz) {
        return std::nullopt;
    }
    return rate;
}

std::string waveformCsv(const WaveformExport& record, char separator) {
    const std::vector<WaveformChannel> channels = waveformChannels(record);
    std::string csv(kUtf8ByteOrderMark);
    csv += csvField("№", separator) + separator + csvField("t, мс", separator);
    for (const WaveformChannel& channel : channels) {
        csv += separator + channel.name;
    }
    csv += "\r\n";
    for (std::size_t i = 0; i < kWaveformSamples; ++i) {
        std::string time = numberText(static_cast<double>(i) * 1000.0 / record.sampleRate);
        if (separator == ';') {
            for (char& c : time) {
                c = c == '.' ? ',' : c; // the decimal comma of the Russian locale
            }
        }
        csv += std::to_string(i + 1) + separator + csvField(time, separator);
        for (const WaveformChannel& channel : channels) {
            csv += separator + std::to_string((*channel.samples)[i]);
        }
        csv += "\r\n";
    }
    return csv;
}

ComtradeFiles comtradeFiles(const WaveformExport& record, ComtradeFormat format) {
    const std::vector<WaveformChannel> channels = waveformChannels(record);
    const std::string count = std::to_string(channels.size());
    const bool ascii = format == ComtradeFormat::Ascii1999;
    std::string cfg;
    cfg += cfgField(record.station) + "," + cfgField(record.deviceId) +
           (format == ComtradeFormat::Cff2013 ? ",2013\r\n" : ",1999\r\n");
    cfg += count + "," + count + "A,0D\r\n";
    for (std::size_t n = 0; n < channels.size(); ++n) {
        // An,ch_id,ph,ccbm,uu,a,b,skew,min,max,primary,secondary,PS
        cfg += std::to_string(n + 1) + "," + channels[n].name + "," + channels[n].phase +
               ",,raw,1,0,0,0,255,1,1,P\r\n";
    }
    cfg += "50\r\n"; // the nominal frequency of the networks the unit protects
    cfg +=
        "1\r\n" + numberText(record.sampleRate) + "," + std::to_string(kWaveformSamples) + "\r\n";
    cfg += cfgTime(record) + "\r\n" + cfgTime(record) + "\r\n";
    cfg += ascii ? "ASCII\r\n1\r\n" : "BINARY\r\n1\r\n";
    if (format == ComtradeFormat::Cff2013) {
        // The local time's offset from UTC, for the samples' time and the recorder's place;
        // the time quality of a computer's clock is unknown (F), and so are leap seconds (3).
        const int offset = std::abs(record.utcOffsetMinutes);
        std::string code = (record.utcOffsetMinutes < 0 ? "-" : "") + std::to_string(offset / 60);
        if (offset % 60 != 0) {
            code += "h" + std::to_string(offset % 60);
        }
        cfg += code + "," + code + "\r\nF,3\r\n";
    }

    std::string dat;
    for (std::size_t i = 0; i < kWaveformSamples; ++i) {
        const auto microseconds = std::llround(static_cast<double>(i) * 1e6 / record.sampleRate);
        if (ascii) {
            dat += std::to_string(i + 1) + "," + std::to_string(microseconds);
            for (const WaveformChannel& channel : channels) {
                dat += "," + std::to_string((*channel.samples)[i]);
            }
            dat += "\r\n";
            continue;
        }
        // Sample number and time stamp as 32-bit, each sample as 16-bit, least byte first.
        const auto put = [&dat](std::uint64_t value, int bytes) {
            for (int b = 0; b < bytes; ++b) {
                dat += static_cast<char>(value >> (8 * b) & 0xFF);
            }
        };
        put(i + 1, 4);
        put(static_cast<std::uint64_t>(std::min<long long>(microseconds, 0xFFFFFFFE)), 4);
        for (const WaveformChannel& channel : channels) {
            put(static_cast<std::uint16_t>((*channel.samples)[i]), 2);
        }
    }
    ComtradeFiles files;
    if (format == ComtradeFormat::Cff2013) {
        files.cff = "--- file type: CFG ---\r\n" + cfg + "--- file type: INF ---\r\n" +
                    "--- file type: HDR ---\r\n" +
                    "--- file type: DAT BINARY: " + std::to_string(dat.size()) + " ---\r\n" + dat;
    } else {
        files.cfg = std::move(cfg);
        files.dat = std::move(dat);
    }
    return files;
}

} // namespace torl7
