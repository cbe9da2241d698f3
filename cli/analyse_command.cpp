// torl7-cli analyse: what one waveform set shows, from the unit (a snapshot, then the blocks of
// the first N phases, so the RMS values read in V and A by the snapshot of the same moment) or
// from a COMTRADE record on disk, whose channels are mapped to Ua .. Ic by name or by --map.
#include "cli.hpp"

#include "documents/comtrade_reader.hpp"
#include "documents/record_channels.hpp"
#include "protocol/waveform_analysis.hpp"

namespace torl7 {

void addAnalyseOptions(QCommandLineParser& parser) {
    parser.addOption(
        {"phases", "Number of phases read from the unit, 1..3 (default 3).", "N", "3"});
    parser.addOption({"rate",
                      "Sample rate in Hz: the period is then the rate over 50 Hz instead of "
                      "being found from the samples.",
                      "HZ"});
    parser.addOption({"record",
                      "Analyse this COMTRADE record (.cfg with its .dat, or .cff) "
                      "instead of the unit; no port is needed.",
                      "FILE"});
    parser.addOption({"map",
                      "Which channels of the record are the phases: Ua=1,Ub=2,Uc=3,Ia=4,... by "
                      "channel number or name (default: by name Ua..Ic, or phase and unit).",
                      "ROLE=CH,..."});
}

int Cli::analyse(QCommandLineParser& parser) {
    AnalysisOptions options;
    if (parser.isSet("rate")) {
        options.periodSamples = periodFromRate(sampleRate(parser, "analyse"));
    }
    if (!parser.isSet("record")) {
        if (parser.isSet("map")) {
            throw Failure{exitcode::Usage, "--map goes with --record"};
        }
        const auto phases = parseInteger(parser.value("phases").toStdString());
        if (!phases || *phases < 1 || *phases > kMaxViewIndex) {
            throw Failure{exitcode::Invalid, "--phases must be 1, 2 or 3"};
        }
        openPort();
        std::optional<Snapshot> snapshot;
        const WaveformExport set = readWaveforms(static_cast<int>(*phases), nullptr, &snapshot);
        const WaveformAnalysis analysis =
            analyseWaveforms(unitPhaseWaves(set.samples, set.phases, snapshot), options);
        out_ << analysisJson(analysis, snapshot
                                           ? std::optional<double>(cosFValue(snapshot->cosByte))
                                           : std::nullopt);
        return exitcode::Done;
    }

    const std::string path = parser.value("record").toStdString();
    const ComtradeRead read = readComtradeFile(path);
    if (!read.record) {
        throw Failure{exitcode::Invalid, read.error.text()};
    }
    ChannelMap map = guessChannelMap(*read.record);
    if (parser.isSet("map")) {
        std::string error;
        const auto given = parseChannelMap(parser.value("map").toStdString(), *read.record, error);
        if (!given) {
            throw Failure{exitcode::Usage, "--map " + error};
        }
        map = *given;
    }
    if (!mapsAPhase(map)) {
        throw Failure{exitcode::Invalid, path + ": no phase with both its voltage and its "
                                                "current found; name them with --map"};
    }
    const std::vector<PhaseWaves> phases = recordPhaseWaves(*read.record, map);
    if (!parser.isSet("rate")) {
        options.minSwingSteps = recordAnalysisOptions(*read.record, phases).minSwingSteps;
    }
    out_ << analysisJson(analyseWaveforms(phases, options));
    return exitcode::Done;
}

} // namespace torl7
