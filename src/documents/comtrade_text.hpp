// The text side of the COMTRADE reader, shared by its two files: faults with their line, the
// lines and fields of a text, strict numbers, and the configuration file read line by line
// (comtrade_config.cpp). Only the reader includes it.
#pragma once

#include "documents/comtrade_reader.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace torl7::comtrade {

// A fault found while reading: where, and why in both languages. Thrown inside the reader,
// caught at its edge and turned into the ComtradeError that names the file.
struct Fault {
    int line;
    std::string english;
    std::string russian;
};

// The most samples and channels a record may claim: far beyond any recorder, small enough that
// nothing sized from them runs out of memory.
inline constexpr long kMaxSamples = 50'000'000;
inline constexpr int kMaxChannels = 100'000;

// Without the blanks around it, in capitals (ASCII letters only).
std::string upper(std::string_view text);

// The lines of a text: split at LF, a CR before it dropped; `first` is the number of the
// first line (a .cff section starts deep in its file).
struct Lines {
    std::vector<std::string_view> text;
    int first = 1;
};
Lines splitLines(std::string_view text, int first);
std::vector<std::string_view> splitFields(std::string_view line);

// A finite number, or a whole number in low..high; anything else throws the fault naming
// `what` (English) and `russian` at `line`.
double number(std::string_view text, int line, std::string_view what, std::string_view russian);
long whole(std::string_view text, int line, std::string_view what, std::string_view russian,
           long low, long high);

// The configuration file; `samples` gets the number of samples it says the data hold. The
// record's sample arrays are sized for its analog channels and empty.
ComtradeRecord readConfiguration(const Lines& lines, long& samples);

} // namespace torl7::comtrade
