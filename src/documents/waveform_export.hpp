// The waveforms of one poll sequence as files for other programs: CSV for a spreadsheet and
// COMTRADE, the exchange format of protection engineers: IEEE C37.111-1999 as a .cfg and a .dat
// file with ASCII or BINARY data, or the 2013 revision's single .cff file. The unit says neither
// its sample rate nor the samples' scaling, so nothing is made up: the rate is the one the user
// gives, and every channel holds the samples as the unit sent them (0..255) with scaling 1, offset
// 0 and the unit "raw". What the files hold, line by line: docs/waveform-export.md. Pure, no Qt.
#pragma once

#include "protocol/waveform_samples.hpp"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torl7 {

struct WaveformExport {
    std::string station;     // the installation text (UTF-8)
    std::string deviceId;    // the factory number
    std::vector<int> phases; // the phases fetched in the sequence, 1..3 (1 = A), in order
    WaveformSamples samples;
    double sampleRate = 0; // Hz, as the user gives it
    // When the samples arrived, by this computer's clock (local time), and how far that clock's
    // local time is ahead of UTC.
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0, microsecond = 0;
    int utcOffsetMinutes = 0;
};

// One channel of the files: "Ua" .. "Ic", its phase letter, and its samples.
struct WaveformChannel {
    std::string name;
    char phase;
    const std::array<int, kWaveformSamples>* samples;
};

// Sets the record's time from `seconds` since 1970 (UTC) as this computer's local time.
void setArrival(WaveformExport& record, std::time_t seconds, int microseconds);

// The phases of a poll sequence's blocks (the phase is the selector's low two bits), in the
// order they came.
std::vector<int> phasesOfBlocks(const std::array<std::uint8_t, kPhases>& selectors, int count);

// Voltages first, then currents, of the phases fetched: Ua, Ub, Uc, Ia, Ib, Ic for all three.
std::vector<WaveformChannel> waveformChannels(const WaveformExport& record);

// The sample rates a waveform file may name: from one sample a second to a million. Outside,
// the files' times would run beyond what their fields hold.
inline constexpr int kMinSampleRateHz = 1;
inline constexpr int kMaxSampleRateHz = 1'000'000;
// The rate typed by the user ("2000", "1562,5", "1562.5"), or nothing when it is missing, not
// a number, or outside kMinSampleRateHz..kMaxSampleRateHz.
std::optional<double> parseSampleRate(std::string_view text);

// Sample number, time from the first sample in ms, then one column per channel; UTF-8 with a
// byte-order mark, fields separated by `separator`, lines ending in "\r\n".
std::string waveformCsv(const WaveformExport& record, char separator = ';');

enum class ComtradeFormat {
    Ascii1999,  // NAME.cfg + NAME.dat, one text row a sample
    Binary1999, // NAME.cfg + NAME.dat, 16-bit little-endian samples
    Cff2013,    // NAME.cff: configuration, information, header and binary data in one file
};

// The files' contents: `cfg` and `dat`, or for 2013 `cff` alone.
struct ComtradeFiles {
    std::string cfg;
    std::string dat;
    std::string cff;
};
ComtradeFiles comtradeFiles(const WaveformExport& record,
                            ComtradeFormat format = ComtradeFormat::Ascii1999);

} // namespace torl7
