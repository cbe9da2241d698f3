// Reads and files several commands share: the configuration, the event protocol, one poll
// sequence of waveforms, the report chain and the report made from it, the firmware version
// when the unit gives it, a settings file, the sample rate the waveform files need.
#pragma once

#include "cli.hpp"

#include "documents/json_output.hpp"
#include "documents/report_content.hpp"
#include "documents/settings_file.hpp"
#include "documents/substation_file.hpp"
#include "documents/waveform_export.hpp"
#include "protocol/codecs/waveform_codec.hpp"
#include "session/operations/report_chain.hpp"

#include <optional>
#include <string>
#include <vector>

namespace torl7 {

ConfigRecord readRecord(Cli& cli);
// The events in time order; `leftOut` gets the number of records without a real date, `records`
// the records as the unit sent them.
EventRows readEvents(Cli& cli, std::size_t& leftOut, EventSlots& records);
// The firmware version without its padding; nothing when the unit does not give it (the
// command goes on without it).
std::optional<std::string> readFirmware(Cli& cli);
// One poll sequence of the first `view` phases; `blocks` (when given) gets them as sent,
// `snapshot` (when given) the snapshot the sequence then starts with.
WaveformExport readWaveforms(Cli& cli, int view, std::vector<PhaseSamples>* blocks = nullptr,
                             std::optional<Snapshot>* snapshot = nullptr);
// The configuration, accounting record and event protocol, as the window's report reads them.
ReportChainData readReportChain(Cli& cli);

SettingsFile readSettings(const QString& path);
Substation readSubstation(const QString& path);
// The archive's reading of what the report chain read.
ArchiveReading chainReading(const Cli& cli, const char* kind, const std::string& firmware,
                            const ReportChainData& chained);
// --rate, which the waveform files need: a usage error without it, invalid out of range.
double sampleRate(const Cli& cli, const char* forWhat);
// The path of the report template, or the failure that it is missing.
std::string reportTemplate();
// What the report holds, from what the chain read, made now.
ReportData reportData(const Cli& cli, const ReportChainData& chained);
// The report document from what the chain read, saved to `path`.
void writeReport(const Cli& cli, const ReportChainData& chained, const std::string& path);

} // namespace torl7
