// The tool's JSON: what torl7-cli prints (the status snapshot, the accounting record, the
// waveforms, the event protocol, the result of a calibration) and the accounting record of the
// service bundle, the same document from the window and the client. Members stand in alphabetical
// order of their keys; a document is indented by four spaces with one value a line, or, for
// `monitor`, compact on one line. Every document ends with a newline.
#pragma once

#include "documents/events_csv.hpp"
#include "protocol/codecs/accounting_codec.hpp"
#include "protocol/codecs/calibration_codec.hpp"
#include "protocol/codecs/event_codec.hpp"
#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/codecs/waveform_codec.hpp"
#include "protocol/waveform_analysis.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace torl7 {

enum class JsonLayout { Indented, OneLine };

// The calibration channels as the client names them: "--ref ua=230", "coefficients.ua".
inline constexpr std::array<const char*, kCoefficientCount> kChannelKeys = {"ua", "ub", "uc",  "ia",
                                                                            "ib", "ic", "idif"};

// The samples of one phase, with the selector they were asked with.
struct PhaseSamples {
    std::uint8_t selector = 0;
    WaveformBlock block;
};

// Raw values, the page's texts and the indicator colours, with the unit's factory number.
std::string snapshotJson(const Snapshot& snapshot, int unit,
                         JsonLayout layout = JsonLayout::Indented);
std::string accountingJson(const AccountingRecord& record);
std::string waveformsJson(int unit, const std::vector<PhaseSamples>& phases);
// The rows of the event protocol, one object each, keyed like the grid's columns, and the
// number of records the read left out for want of a real date and time.
std::string eventsJson(const std::vector<EventRow>& rows, std::size_t leftOut);
// Events of several units, in the order given: each the unit's factory number and its names
// ("unit", "title"), then the grid's columns keyed as above.
std::string unitEventsJson(const std::vector<UnitEventRow>& rows);
// The coefficients the unit holds after a coefficient write.
std::string calibrationJson(const CoefficientAck& ack);
// What a waveform set shows (torl7-cli analyse): the period, per phase A/B/C the RMS values,
// the angle, cos φ, THD and harmonics 2..7, and with three phases the sequence values; a value
// that cannot be had is null, and a set without a period says why in "problem". The unit's
// own cos f goes beside, when the set came from the unit.
std::string analysisJson(const WaveformAnalysis& analysis,
                         std::optional<double> unitCosF = std::nullopt);

} // namespace torl7
