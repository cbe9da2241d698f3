// torl7-cli bundle DIR: the service bundle of the unit, read fresh: the version, the report
// chain (configuration, accounting record, event protocol) and one poll sequence of all three
// phases' waveforms. The files are written by the window's own bundle writer.
#include "command_table.hpp"
#include "shared_reads.hpp"

#include "documents/json_output.hpp"
#include "protocol/poll_sequence.hpp"
#include "records/service_bundle.hpp"
#include "session/wait_until_ended.hpp"

#include <QDateTime>

namespace torl7 {

int bundleCommand(Cli& cli) {
    const QString parent = cli.arguments().front();
    const double rate = sampleRate(cli, "bundle's waveforms");
    reportTemplate(); // before the unit is asked anything
    cli.checkOutput(parent, true);

    // A unit that does not give its version is still read; its file then names none.
    const std::optional<std::string> firmware = readFirmware(cli);
    const ReportChainData chained = readReportChain(cli);
    cli.archive(chainReading(cli, "bundle", firmware.value_or(std::string()), chained));
    BundleContents contents = bundleOfReading(cli.unit(), firmware, chained,
                                              QDateTime::currentDateTime(), reportTemplate());
    WaveformExport waves = readWaveforms(cli, kMaxViewIndex);
    waves.station = withoutPadding(unitTextFrom16(chained.record.installation));
    waves.deviceId = std::to_string(cli.unit());
    waves.sampleRate = rate;
    contents.waveforms = std::move(waves);

    ServiceBundle writer;
    const BundleEnded ended = waitUntilEnded<BundleEnded>(
        [&](auto done) { writer.start(parent, std::move(contents), nullptr, std::move(done)); });
    for (const QString& file : ended.files) {
        cli.out() << file.toStdString() << '\n';
    }
    if (!ended.error.isEmpty()) {
        throw Failure{exitcode::Invalid, ended.error.toStdString()};
    }
    return exitcode::Done;
}

} // namespace torl7
