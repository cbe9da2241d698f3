#include "shared_reads.hpp"

#include "documents/docx_document.hpp"
#include "documents/json_output.hpp"
#include "documents/report_template.hpp"
#include "documents/settings_values.hpp"
#include "documents/text_file.hpp"
#include "protocol/poll_sequence.hpp"
#include "records/reading_forms.hpp"
#include "session/operations/diag_poll.hpp"
#include "session/operations/unit_commands.hpp"

#include <QCoreApplication>
#include <QDateTime>

namespace torl7 {

ConfigRecord readRecord(Cli& cli) {
    ReadConfiguration read(cli.session());
    return cli.result(
        read, [&] { read.start(); }, "configuration read");
}

EventRows readEvents(Cli& cli, std::size_t& leftOut, EventSlots& records) {
    EventTable table;
    EventProtocolRead read(cli.session(), table);
    EventRows rows = cli.result(
        read, [&] { read.start(); }, "event block");
    leftOut = table.leftOut();
    records = table.lastReadSlots();
    return rows;
}

std::optional<std::string> readFirmware(Cli& cli) {
    VersionRead version(cli.session());
    const auto outcome = runToEnd(version, [&] { version.start(); });
    if (!outcome && outcome.error->kind != SessionError::Kind::Timeout) {
        throw failureOf(*outcome.error, "firmware version");
    }
    return outcome ? std::optional(withoutPadding(*outcome.result)) : std::nullopt;
}

WaveformExport readWaveforms(Cli& cli, int view, std::vector<PhaseSamples>* blocks,
                             std::optional<Snapshot>* snapshot) {
    DiagPoll poll(cli.session());
    WaveformExport record;
    if (snapshot) {
        QObject::connect(&poll, &DiagPoll::snapshotReceived, &poll,
                         [snapshot](const Snapshot& s) { *snapshot = s; });
    }
    QObject::connect(&poll, &DiagPoll::waveformsReady, &poll, [&](const WaveformSamples& s) {
        poll.stop();
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        setArrival(record, static_cast<std::time_t>(now / 1000),
                   static_cast<int>(now % 1000) * 1000);
        record.samples = s;
        record.phases = phasesOfBlocks(poll.blockSelectors(), poll.blockCount());
        for (int i = 0; blocks && i < poll.blockCount(); ++i) {
            const std::uint8_t selector = poll.blockSelectors()[static_cast<std::size_t>(i)];
            const auto phase = static_cast<std::size_t>((selector & 3) - 1);
            PhaseSamples block{selector, {}};
            block.block.selector = selector;
            for (std::size_t k = 0; k < kWaveformSamples; ++k) {
                block.block.voltage[k] = static_cast<std::uint8_t>(s.voltage[phase][k]);
                block.block.current[k] = static_cast<std::uint8_t>(s.current[phase][k]);
            }
            blocks->push_back(block);
        }
    });
    // Straight to the blocks (the snapshot before them is the snapshot command's), unless the
    // snapshot of the same moment is wanted too. The first request left unanswered ends the read.
    const std::uint8_t first = snapshot ? kSnapshotSelector : selectorAfterSnapshot(view);
    cli.result(
        poll, [&] { poll.start(view, DiagPoll::Pace::AnswerTimeout, first, 1); }, "waveform");
    return record;
}

ReportChainData readReportChain(Cli& cli) {
    // The window's report chain: configuration, accounting record, event protocol.
    EventTable table;
    ReportChain chain(cli.session(), table);
    const auto read = runToEnd(chain, [&] { chain.start(); });
    if (!read) {
        throw failureOf(*read.error,
                        chain.failedStep() == ReportStep::Configuration ? "configuration read"
                        : chain.failedStep() == ReportStep::Accounting  ? "accounting read"
                                                                        : "event block");
    }
    return *read.result;
}

SettingsFile readSettings(const QString& path) {
    const TextFileRead text = readTextFile(path.toStdString());
    if (!text.text) {
        throw Failure{exitcode::Invalid, path.toStdString() + ": " + text.error};
    }
    const SettingsReadResult read = readSettingsFile(*text.text);
    if (!read.file) {
        throw Failure{exitcode::Invalid, path.toStdString() + ": " +
                                             (read.field.empty() ? "" : read.field + ": ") +
                                             read.error};
    }
    return *read.file;
}

Substation readSubstation(const QString& path) {
    const TextFileRead text = readTextFile(path.toStdString());
    if (!text.text) {
        throw Failure{exitcode::Invalid, path.toStdString() + ": " + text.error};
    }
    const SubstationRead read = readSubstationFile(*text.text);
    if (!read.substation) {
        throw Failure{exitcode::Invalid, path.toStdString() + ": " + read.error};
    }
    return *read.substation;
}

ArchiveReading chainReading(const Cli& cli, const char* kind, const std::string& firmware,
                            const ReportChainData& chained) {
    ArchiveReading reading = withChain(cli.reading(kind), chained);
    reading.firmware = firmware;
    return reading;
}

double sampleRate(const Cli& cli, const char* forWhat) {
    if (!cli.isSet("rate")) {
        throw Failure{exitcode::Usage,
                      std::string(forWhat) +
                          " need --rate HZ: the unit does not say its sample rate"};
    }
    const auto rate = parseSampleRate(cli.value("rate").toStdString());
    if (!rate) {
        throw Failure{exitcode::Invalid, "--rate must be a number of samples a second from " +
                                             std::to_string(kMinSampleRateHz) + " to " +
                                             std::to_string(kMaxSampleRateHz)};
    }
    return *rate;
}

std::string reportTemplate() {
    const auto templatePath = findReportTemplate(
        std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String()));
    if (!templatePath) {
        throw Failure{exitcode::Invalid,
                      "the report template " + std::string(kReportTemplateName) + " was not found"};
    }
    return utf8Path(*templatePath);
}

ReportData reportData(const Cli& cli, const ReportChainData& chained) {
    return reportDataFor(cli.unit(), chained.record, chained.accounting, chained.events,
                         static_cast<std::time_t>(QDateTime::currentSecsSinceEpoch()));
}

void writeReport(const Cli& cli, const ReportChainData& chained, const std::string& path) {
    DocxDocument document;
    if (!document.openFile(reportTemplate())) {
        throw Failure{exitcode::Invalid, document.error()};
    }
    const ReportData data = reportData(cli, chained);
    std::string error;
    if (!fillReport(
            document, data, [](int) {}, error)) {
        throw Failure{exitcode::Invalid, error};
    }
    if (!document.saveAs(path)) {
        throw Failure{exitcode::Invalid, "cannot write " + path + ": " + document.error()};
    }
}

} // namespace torl7
