#include "documents/waveform_export.hpp"

#include "documents/comtrade_reader.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace torl7 {
namespace {

WaveformExport sampleRecord(std::vector<int> phases, double rate) {
    WaveformExport r;
    r.station = "КНС-2, насос 3";
    r.deviceId = "600";
    r.phases = std::move(phases);
    r.sampleRate = rate;
    r.year = 2026, r.month = 12, r.day = 9, r.hour = 5, r.minute = 7, r.second = 3;
    r.microsecond = 250000;
    for (std::size_t p = 0; p < 3; ++p) {
        for (std::size_t i = 0; i < kWaveformSamples; ++i) {
            r.samples.voltage[p][i] = static_cast<int>((i * 7 + p * 50) % 256);
            r.samples.current[p][i] = static_cast<int>((255 - i * 3 - p * 11) % 256);
        }
    }
    r.samples.voltage[0][0] = 0;
    r.samples.current[2][99] = 255;
    return r;
}

TEST(SampleRate, onlyARateFromOneHertzToOneMegahertzIsTaken) {
    // A rate far below 1 Hz ran the COMTRADE times past what their field holds.
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"2000", 2000.0},          {" 1562,5 ", 1562.5},
        {"1562.5", 1562.5},        {"1", 1.0},
        {"1000000", 1e6},          {"0.999", std::nullopt},
        {"1e-300", std::nullopt},  {"1000000.5", std::nullopt},
        {"", std::nullopt},        {"0", std::nullopt},
        {"-50", std::nullopt},     {"abc", std::nullopt},
        {"2000 Гц", std::nullopt}, {"inf", std::nullopt},
        {"nan", std::nullopt},
    };
    for (const auto& [text, rate] : cases) {
        EXPECT_EQ(parseSampleRate(text), rate) << '"' << text << '"';
    }
}

// The files of every format read back, by the reader held to hand-written records, to the
// samples as sent.
TEST(Comtrade, everyFormatReadsBackToTheSamplesChannelByChannel) {
    const struct {
        std::vector<int> phases;
        double rate;
        std::vector<std::string> names;
        ComtradeFormat format;
    } cases[] = {
        {{1, 2, 3}, 2000, {"Ua", "Ub", "Uc", "Ia", "Ib", "Ic"}, ComtradeFormat::Ascii1999},
        {{1}, 1562.5, {"Ua", "Ia"}, ComtradeFormat::Ascii1999},
        {{1, 2}, 3, {"Ua", "Ub", "Ia", "Ib"}, ComtradeFormat::Ascii1999},
        {{1, 2, 3}, 2000, {"Ua", "Ub", "Uc", "Ia", "Ib", "Ic"}, ComtradeFormat::Binary1999},
        {{1, 3}, 1562.5, {"Ua", "Uc", "Ia", "Ic"}, ComtradeFormat::Cff2013},
    };
    for (const auto& c : cases) {
        WaveformExport record = sampleRecord(c.phases, c.rate);
        record.utcOffsetMinutes = 330;
        const ComtradeFiles files = comtradeFiles(record, c.format);
        const bool single = c.format == ComtradeFormat::Cff2013;
        EXPECT_EQ(files.cff.empty(), !single);
        const ComtradeRead got =
            single ? readComtradeCff(files.cff) : readComtrade(files.cfg, files.dat);
        ASSERT_TRUE(got.record) << got.error.text();
        const ComtradeRecord& read = *got.record;
        EXPECT_EQ(read.station, "КНС-2  насос 3") << "a comma would split the field";
        EXPECT_EQ(read.device, "600");
        EXPECT_EQ(read.revision, single ? 2013 : 1999);
        EXPECT_EQ(read.fileType, c.format == ComtradeFormat::Ascii1999 ? "ASCII" : "BINARY");
        if (single) {
            EXPECT_NE(files.cff.find("\r\n5h30,5h30\r\nF,3\r\n--- file type: INF ---"),
                      std::string::npos)
                << "2013's time code (UTC+5:30) and time quality lines";
        }
        ASSERT_EQ(read.analogCount, static_cast<int>(c.names.size()));
        EXPECT_EQ(read.total, read.analogCount);
        EXPECT_EQ(read.digitalCount, 0);
        ASSERT_EQ(read.rates.size(), 1u);
        EXPECT_EQ(read.rates[0].first, c.rate);
        EXPECT_EQ(read.rates[0].second, 100);
        EXPECT_EQ(read.firstTime, "09/12/2026,05:07:03.250000");
        EXPECT_EQ(read.triggerTime, read.firstTime);
        EXPECT_EQ(read.timeMultiplier, 1);
        ASSERT_EQ(read.numbers.size(), kWaveformSamples);
        for (std::size_t i = 0; i < kWaveformSamples; ++i) {
            EXPECT_EQ(read.numbers[i], static_cast<long>(i + 1));
            EXPECT_EQ(read.stamps[i], std::lround(static_cast<double>(i) * 1e6 / c.rate)) << i;
        }
        for (std::size_t n = 0; n < c.names.size(); ++n) {
            const ComtradeAnalog& channel = read.analogs[n];
            EXPECT_EQ(channel.id, c.names[n]);
            EXPECT_EQ(channel.phase,
                      std::string(1, static_cast<char>('A' + (c.names[n][1] - 'a'))));
            EXPECT_EQ(channel.unit, "raw");
            EXPECT_EQ(channel.a, 1);
            EXPECT_EQ(channel.b, 0);
            EXPECT_EQ(channel.min, 0);
            EXPECT_EQ(channel.max, 255);
            const auto phase = static_cast<std::size_t>(c.names[n][1] - 'a');
            const auto& sent = c.names[n][0] == 'U' ? record.samples.voltage[phase]
                                                    : record.samples.current[phase];
            ASSERT_EQ(read.samples[n].size(), kWaveformSamples);
            for (std::size_t i = 0; i < kWaveformSamples; ++i) {
                ASSERT_EQ(read.samples[n][i], sent[i]) << c.names[n] << " sample " << i + 1;
            }
        }
    }
}

TEST(WaveformCsv, numberTimeAndTheRawSamplesOfEachChannel) {
    const WaveformExport record = sampleRecord({1, 3}, 2000);
    const std::string csv = waveformCsv(record);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < csv.size();) {
        const std::size_t end = csv.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "every line ends in CR LF";
        lines.push_back(csv.substr(start, end - start));
        start = end + 2;
    }
    ASSERT_EQ(lines.size(), 1 + kWaveformSamples);
    EXPECT_EQ(lines[0], "\xEF\xBB\xBF№;t, мс;Ua;Uc;Ia;Ic");
    EXPECT_EQ(lines[1], "1;0;0;100;255;233");
    EXPECT_EQ(lines[2], "2;0,5;7;107;252;230") << "decimal comma with semicolons";
    EXPECT_EQ(lines[100],
              "100;49,5;181;25;" + std::to_string(record.samples.current[0][99]) + ";255");
    EXPECT_TRUE(waveformCsv(record, ',').find("\r\n2,0.5,7,107,") != std::string::npos);
}

} // namespace
} // namespace torl7
