// torl7-cli analyse: what one waveform set shows, from the unit (a snapshot, then the blocks of
// the first N phases, so the RMS values read in V and A by the snapshot of the same moment) or
// from a COMTRADE record on disk, whose channels are mapped to Ua .. Ic by name or by --map.
#include "cli.hpp"
#include "command_table.hpp"
#include "shared_reads.hpp"

#include "documents/comtrade_reader.hpp"
#include "documents/json_output.hpp"
#include "documents/record_channels.hpp"
#include "protocol/display_format.hpp"
#include "protocol/poll_sequence.hpp"
#include "protocol/waveform_analysis.hpp"

namespace torl7 {

int analyseCommand(Cli& cli) {
    AnalysisOptions options;
    if (cli.isSet("rate")) {
        options.periodSamples = periodFromRate(sampleRate(cli, "analyse"));
    }
    if (!cli.isSet("record")) {
        if (cli.isSet("map")) {
            throw Failure{exitcode::Usage, "--map goes with --record"};
        }
        const auto phases = cli.integerOption("phases", 1, kMaxViewIndex, kMaxViewIndex);
        std::optional<Snapshot> snapshot;
        const WaveformExport set = readWaveforms(cli, static_cast<int>(phases), nullptr, &snapshot);
        const WaveformAnalysis analysis =
            analyseWaveforms(unitPhaseWaves(set.samples, set.phases, snapshot), options);
        cli.out() << analysisJson(analysis,
                                  snapshot ? std::optional<double>(cosFValue(snapshot->cosByte))
                                           : std::nullopt);
        return exitcode::Done;
    }

    const std::string path = cli.value("record").toStdString();
    const ComtradeRead read = readComtradeFile(path);
    if (!read.record) {
        throw Failure{exitcode::Invalid, read.error.text()};
    }
    ChannelMap map = guessChannelMap(*read.record);
    if (cli.isSet("map")) {
        std::string error;
        const auto given = parseChannelMap(cli.value("map").toStdString(), *read.record, error);
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
    if (!cli.isSet("rate")) {
        options.minSwingSteps = recordAnalysisOptions(*read.record, phases).minSwingSteps;
    }
    cli.out() << analysisJson(analyseWaveforms(phases, options));
    return exitcode::Done;
}

} // namespace torl7
