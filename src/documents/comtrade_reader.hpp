// COMTRADE records (IEEE C37.111, revisions 1991, 1999 and 2013) read back: the configuration
// file line by line, the data file as ASCII rows or BINARY (16-bit), BINARY32 or FLOAT32
// samples, either as a .cfg and .dat pair or as one 2013 .cff file. A record is taken whole or
// refused with the file, the line (0 where the data are binary) and the reason; a record's
// text may hold any byte, and nothing it claims (channel counts, sample counts, byte counts)
// is believed before the bytes are there. Pure, no Qt.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace torl7 {

struct ComtradeAnalog {
    int index = 0;
    std::string id, phase, circuit, unit;
    double a = 1, b = 0, skew = 0;
    double min = 0, max = 0;
    double primary = 1, secondary = 1;
    std::string ps; // "P" or "S"; empty in a 1991 record
};

struct ComtradeRecord {
    std::string station, device;
    int revision = 1991;
    int total = 0, analogCount = 0, digitalCount = 0;
    std::vector<ComtradeAnalog> analogs;
    double lineFrequency = 0;
    std::vector<std::pair<double, long>> rates; // samples a second, number of the last sample
    std::string firstTime, triggerTime;         // as written: "dd/mm/yyyy,hh:mm:ss.ssssss"
    std::string fileType;                       // ASCII, BINARY, BINARY32 or FLOAT32
    double timeMultiplier = 1;
    // One entry per sample: its number, its time stamp (-1 when the row has none), and per
    // analog channel the value as stored (a * value + b reads in the channel's unit); a value
    // marked missing is NaN.
    std::vector<long> numbers, stamps;
    std::vector<std::vector<double>> samples; // [channel][sample]

    // The rate of the first sample rate line; 0 when the record gives none.
    double sampleRate() const;
};

struct ComtradeError {
    std::string file;
    int line = 0; // 0: the whole file, or binary data
    std::string reason;
    std::string reasonRussian;
    // "NAME, line N: reason" or "NAME: reason"; the window's text says "строка".
    std::string text() const;
    std::string textRussian() const;
};

struct ComtradeRead {
    std::optional<ComtradeRecord> record;
    ComtradeError error; // when there is no record
};

// A .cfg and its .dat, given as their contents; the names only go into errors.
ComtradeRead readComtrade(std::string_view cfg, std::string_view dat,
                          const std::string& cfgName = "record.cfg",
                          const std::string& datName = "record.dat");
// A 2013 single file: its CFG, INF, HDR and DAT sections.
ComtradeRead readComtradeCff(std::string_view cff, const std::string& name = "record.cff");
// From disk: a .cff, or a .cfg with the .dat of the same name beside it.
ComtradeRead readComtradeFile(const std::string& path);

} // namespace torl7
