// The COMTRADE reader against records written here by hand from IEEE C37.111 (1999 clause 6
// and 7, 2013's single file), not by the tool's writer.
#include "documents/comtrade_reader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace torl7 {
namespace {

// Two analog channels (U in V with a = 0.5 and b = 1; I in A) and one digital channel, three
// samples at 1000 Hz.
const std::string kCfg1999 = "Подстанция 7,REL-500,1999\r\n"
                             "3,2A,1D\r\n"
                             "1,VA,A,Feeder,V,0.5,1,0,-32767,32767,6000,100,P\r\n"
                             "2,IA,A,Feeder,A,0.01,0,0,-32767,32767,200,5,S\r\n"
                             "1,Trip,,,0\r\n"
                             "50\r\n"
                             "1\r\n"
                             "1000,3\r\n"
                             "01/02/2024,10:00:00.000000\r\n"
                             "01/02/2024,10:00:00.001000\r\n"
                             "%TYPE%\r\n"
                             "1\r\n";

std::string cfgOfType(const char* type) {
    std::string cfg = kCfg1999;
    cfg.replace(cfg.find("%TYPE%"), 6, type);
    return cfg;
}

// Samples 1..3 at 0, 1000 and 2000 µs as a binary data file: number and time stamp as 32-bit,
// VA and IA as `width`-byte integers (the lowest value marks one missing) or 32-bit floats, then
// the digital word; least significant byte first.
std::string packed(int width, bool floating = false) {
    std::string out;
    const auto put = [&out](std::uint32_t value, int bytes) {
        for (int b = 0; b < bytes; ++b) {
            out += static_cast<char>(value >> (8 * b) & 0xFF);
        }
    };
    const double va[] = {10, NAN, 32767};
    const double ia[] = {-10, 300, 0};
    for (int s = 0; s < 3; ++s) {
        put(static_cast<std::uint32_t>(s + 1), 4);
        put(static_cast<std::uint32_t>(1000 * s), 4);
        for (const double v : {va[s], ia[s]}) {
            if (floating) {
                const float f = static_cast<float>(v);
                std::uint32_t bits = 0;
                std::memcpy(&bits, &f, 4);
                put(bits, 4);
            } else if (std::isnan(v)) {
                put(width == 2 ? 0x8000u : 0x80000000u, width);
            } else {
                put(static_cast<std::uint32_t>(static_cast<std::int32_t>(v)), width);
            }
        }
        put(s == 0 ? 1 : 0, 2);
    }
    return out;
}

TEST(ComtradeReader, recordsWrittenByHandReadAsTheStandardSays) {
    const std::string ascii = "1,0,10,-10,1\r\n2,1000,99999,300,0\r\n3,2000,32767,0,0\r\n\x1a";
    const std::string cffBinary = "--- file type: CFG ---\r\n" + cfgOfType("BINARY") +
                                  "--- file type: INF ---\r\n[Public Record]\r\n"
                                  "--- file type: HDR ---\r\nfree text\r\n"
                                  "--- file type: DAT BINARY: 42 ---\r\n" +
                                  packed(2);
    std::string cffAscii = "--- file type: CFG ---\r\n" + cfgOfType("ASCII") +
                           "--- file type: DAT ASCII ---\r\n" + ascii;
    cffAscii.replace(cffAscii.find("99999"), 5, ""); // 2013 leaves a missing value empty
    const struct {
        const char* name;
        ComtradeRead read;
        const char* type;
    } cases[] = {
        {"1999 ASCII", readComtrade(cfgOfType("ASCII"), ascii), "ASCII"},
        {"1999 BINARY", readComtrade(cfgOfType("binary"), packed(2)), "BINARY"},
        {"BINARY32", readComtrade(cfgOfType("BINARY32"), packed(4)), "BINARY32"},
        {"FLOAT32", readComtrade(cfgOfType("FLOAT32"), packed(4, true)), "FLOAT32"},
        {"2013 .cff, binary", readComtradeCff(cffBinary), "BINARY"},
        {"2013 .cff, ASCII", readComtradeCff(cffAscii), "ASCII"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.read.record) << c.name << ": " << c.read.error.text();
        const ComtradeRecord& r = *c.read.record;
        EXPECT_EQ(r.station, "Подстанция 7") << c.name;
        EXPECT_EQ(r.revision, 1999);
        EXPECT_EQ(r.fileType, c.type) << c.name;
        ASSERT_EQ(r.analogCount, 2);
        EXPECT_EQ(r.digitalCount, 1);
        EXPECT_EQ(r.analogs[0].id, "VA");
        EXPECT_EQ(r.analogs[0].unit, "V");
        EXPECT_EQ(r.analogs[0].a, 0.5);
        EXPECT_EQ(r.analogs[0].b, 1);
        EXPECT_EQ(r.analogs[1].ps, "S");
        EXPECT_EQ(r.sampleRate(), 1000);
        EXPECT_EQ(r.triggerTime, "01/02/2024,10:00:00.001000");
        EXPECT_EQ(r.numbers, (std::vector<long>{1, 2, 3})) << c.name;
        EXPECT_EQ(r.stamps, (std::vector<long>{0, 1000, 2000})) << c.name;
        ASSERT_EQ(r.samples[0].size(), 3u);
        EXPECT_EQ(r.samples[0][0], 10) << c.name;
        EXPECT_TRUE(std::isnan(r.samples[0][1])) << c.name << ": missing value";
        EXPECT_EQ(r.samples[0][2], 32767) << c.name;
        EXPECT_EQ(r.samples[1], (std::vector<double>{-10, 300, 0})) << c.name;
    }
}

// What a damaged or hostile record gets: refused, naming the file, the line and the reason.
TEST(ComtradeReader, malformedRecordsAreRefusedWithFileLineAndReason) {
    const std::string dat = "1,0,10,-10,1\r\n2,1000,11,300,0\r\n3,2000,12,0,0\r\n";
    const auto edited = [](std::string text, const std::string& from, const std::string& to) {
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const std::string ascii = cfgOfType("ASCII");
    const struct {
        const char* name;
        ComtradeRead read;
        const char* file;
        int line;
        const char* reason;
    } cases[] = {
        {"empty", readComtrade("", dat), "record.cfg", 1, "ends before the station line"},
        {"unknown revision", readComtrade(edited(ascii, "1999", "2005"), dat), "record.cfg", 1,
         "revision year must be"},
        {"counts disagree", readComtrade(edited(ascii, "3,2A", "4,2A"), dat), "record.cfg", 2,
         "channel total"},
        {"analog line short", readComtrade(edited(ascii, ",100,P", ""), dat), "record.cfg", 3,
         "13 fields"},
        {"multiplier", readComtrade(edited(ascii, "0.5,1,0", "x,1,0"), dat), "record.cfg", 3,
         "multiplier a is not a number"},
        {"channels claimed, lines missing", readComtrade("S,D,1999\r\n99999,99999A,0D\r\n", dat),
         "record.cfg", 3, "ends before the analog channel line"},
        {"endsamp goes back",
         readComtrade(edited(ascii, "1\r\n1000,3", "2\r\n1000,3\r\n2000,2"), dat), "record.cfg", 9,
         "last sample number 2 is out of 4.."},
        {"data type", readComtrade(edited(ascii, "ASCII", "HEX"), dat), "record.cfg", 11,
         "data file type"},
        {"row short", readComtrade(ascii, edited(dat, "300,0", "300")), "record.dat", 2,
         "expected 5 fields"},
        {"value", readComtrade(ascii, edited(dat, ",12,", ",1x,")), "record.dat", 3,
         "value is not a number"},
        {"rows missing", readComtrade(ascii, dat.substr(0, dat.rfind("3,"))), "record.dat", 2,
         "holds 2 samples, the configuration 3"},
        {"rows over", readComtrade(ascii, dat + "4,3000,1,1,1\r\n"), "record.dat", 4,
         "more samples than"},
        {"binary cut", readComtrade(cfgOfType("BINARY"), packed(2).substr(0, 41)), "record.dat", 0,
         "41 bytes where 3 samples of 14 bytes take 42"},
        {"cff without data", readComtradeCff("--- file type: CFG ---\r\n" + ascii, "x.cff"),
         "x.cff", 0, "no CFG or DAT section"},
        {"cff byte count beyond the file",
         readComtradeCff("--- file type: CFG ---\r\n" + cfgOfType("BINARY") +
                             "--- file type: DAT BINARY: 4200 ---\r\n" + packed(2),
                         "x.cff"),
         "x.cff", 14, "without its byte count"},
        {"cff line numbers count from the file",
         readComtradeCff("--- file type: CFG ---\r\n" + edited(ascii, "50\r\n", "fifty\r\n") +
                             "--- file type: DAT ASCII ---\r\n" + dat,
                         "x.cff"),
         "x.cff", 7, "line frequency is not a number"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(c.read.record) << c.name;
        EXPECT_EQ(c.read.error.file, c.file) << c.name;
        EXPECT_EQ(c.read.error.line, c.line) << c.name << ": " << c.read.error.text();
        EXPECT_NE(c.read.error.reason.find(c.reason), std::string::npos)
            << c.name << ": " << c.read.error.reason;
        EXPECT_FALSE(c.read.error.reasonRussian.empty()) << c.name;
    }
}

} // namespace
} // namespace torl7
