// torl7-cli bundle DIR: the service bundle of the unit, read fresh: the version, the report
// chain (configuration, accounting record, event protocol) and one poll sequence of all three
// phases' waveforms. The files are written by the window's own bundle writer.
#include "cli.hpp"

#include "session/service_bundle.hpp"
#include "session/wait_until_ended.hpp"

namespace torl7 {

int Cli::bundle(QCommandLineParser& parser) {
    const QString parent = onlyArgument(parser, "folder");
    const double rate = sampleRate(parser, "bundle's waveforms");
    BundleContents contents;
    contents.reportTemplate = reportTemplate(); // before the unit is asked anything
    checkOutput(parent, true);
    openPort();

    SettingsProvenance origin;
    origin.unit = unit_;
    if (const auto version = tryExchange(kind::Version, {})) {
        origin.firmware = trimmedRight(decodeVersionText(version->payload()));
    }
    const ReportChainData chained = readReportChain();
    origin.readAt = QDateTime::currentDateTime().toString(Qt::ISODate).toStdString();
    origin.toolVersion = std::string(toolVersion());
    openPort(); // the chain closes the port when it ends, as the window's does
    WaveformExport waves = readWaveforms(kMaxViewIndex);
    waves.station = trimmedRight(unitTextFrom16(chained.record.installation));
    waves.deviceId = std::to_string(unit_);
    waves.sampleRate = rate;

    contents.factoryNumber = unit_;
    contents.date = QDate::currentDate();
    contents.report = reportData(chained);
    contents.settingsFile = writeSettingsFile(asPageHolds(chained.record), origin);
    contents.accountingJson = accountingJson(chained.accounting);
    contents.waveforms = std::move(waves);

    ServiceBundle writer;
    const BundleEnded ended = waitUntilEnded<BundleEnded>(
        [&](auto done) { writer.start(parent, std::move(contents), nullptr, std::move(done)); });
    for (const QString& file : ended.files) {
        out_ << file.toStdString() << '\n';
    }
    if (!ended.error.isEmpty()) {
        throw Failure{exitcode::Invalid, ended.error.toStdString()};
    }
    return exitcode::Done;
}

} // namespace torl7
