// The unit's settings: read-config, write-config, diff-config; and calibrate.
#include "command_table.hpp"
#include "shared_reads.hpp"

#include "documents/json_output.hpp"
#include "protocol/calibration_rules.hpp"
#include "records/archive_keeper.hpp"
#include "records/reading_forms.hpp"
#include "session/operations/calibration_run.hpp"
#include "session/operations/write_configuration.hpp"

#include <QDateTime>

#include <cmath>
#include <map>

namespace torl7 {

namespace {

const std::map<std::string, Channel> kChannelNames = {
    {"ua", Channel::Ua}, {"ub", Channel::Ub}, {"uc", Channel::Uc},    {"ia", Channel::Ia},
    {"ib", Channel::Ib}, {"ic", Channel::Ic}, {"idif", Channel::Idif}};

// What the read-back after a lost acknowledgement found, said before the failure.
void sayAfterLostAcknowledgement(Cli& cli, const WriteReport& report) {
    std::string found;
    switch (*report.afterLostAcknowledgement) {
    case WriteReport::Found::NewRecord:
        found = "the unit holds the new settings: only the acknowledgement was lost";
        break;
    case WriteReport::Found::OldRecord:
        found = "the unit still holds its old settings: the write did not reach it";
        break;
    case WriteReport::Found::Neither:
        found = "the unit holds settings that are neither the new nor the old ones";
        break;
    case WriteReport::Found::Unknown:
        found = "the unit did not answer the read-back either: what it holds is unknown";
        break;
    }
    cli.err() << "torl7-cli: the acknowledgement of the write did not come; " << found << '\n';
    if (report.kept && *report.kept) {
        cli.err() << "torl7-cli: the settings before the write are in "
                  << report.kept->path.toStdString() << '\n';
    }
}

} // namespace

namespace {

// A write that did not go out is not a reading.
void archiveWrite(Cli& cli, const ArchiveKeeper& keeper, const ConfigRecord& sent,
                  const WriteReport& report) {
    if (auto reading = writeReading(cli.reading("write-config"), keeper, sent, report)) {
        cli.archive(std::move(*reading));
    }
}

} // namespace

int readConfigCommand(Cli& cli) {
    cli.checkOutput(cli.value("output"));
    // The firmware version is noted when the unit gives it; a unit that does not is still read.
    const std::string firmware = readFirmware(cli).value_or(std::string());
    const ConfigRecord record = readRecord(cli);
    const SettingsProvenance origin = provenanceOf(
        cli.unit(), QDateTime::currentDateTime().toString(Qt::ISODate).toStdString(), firmware);
    ArchiveReading reading = cli.reading("read-config");
    reading.firmware = firmware;
    reading.configurations = {{ConfigRole::AsRead, record}};
    cli.archive(std::move(reading));
    cli.writeOutput(cli.value("output"), writeSettingsFile(asPageHolds(record), origin));
    // The file holds what the window's page would show; a value it cannot hold is named.
    for (const ClampedField& c : clampedFields(record)) {
        cli.err() << "torl7-cli: " << c.field->path() << ": the unit holds " << c.unitSteps
                  << ", the file the limit " << c.heldSteps << '\n';
    }
    return exitcode::Done;
}

int writeConfigCommand(Cli& cli) {
    const QString path = cli.arguments().front();
    cli.requireYes("write-config");
    const SettingsFile file = readSettings(path);
    // The unit cannot measure with a coefficient of 0; the window refuses such a write too.
    std::array<std::string, kCoefficientCount> typed;
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        typed[i] = std::to_string(file.record.coefficients[i]);
    }
    if (const auto fault = checkCoefficients(typed)) {
        throw Failure{exitcode::Invalid, path.toStdString() + ": calibration." +
                                             kChannelKeys[fault->channel] +
                                             "_coefficient: 0 is no valid coefficient; "
                                             "nothing was written"};
    }
    const ArchiveKeeper keeper(cli.archiveLocation());
    WriteConfiguration write(cli.session(), &keeper);
    const auto outcome = runToEnd(write, [&] { write.start(file.record); });
    const WriteReport report = outcome.result.value_or(WriteReport{});
    if (keeper.problem()) {
        cli.archiveNotWritten(*keeper.problem());
    }
    archiveWrite(cli, keeper, file.record, report);
    if (report.kept && !*report.kept) {
        const QString reason =
            report.kept->reason.isEmpty() ? QString() : ": " + report.kept->reason;
        throw Failure{exitcode::Invalid, "cannot keep the unit's settings before the write in " +
                                             (report.kept->path + reason).toStdString() +
                                             "; nothing was written"};
    }
    if (report.kept) {
        cli.out() << "the unit's settings before the write: " << report.kept->path.toStdString()
                  << '\n';
        if (keeper.lastReading()) {
            cli.err() << "torl7-cli: torl7-cli history " << cli.unit() << " --settings "
                      << *keeper.lastReading() << " gives them back as a settings file\n";
        }
    }
    if (report.afterLostAcknowledgement) {
        sayAfterLostAcknowledgement(cli, report);
        throw Failure{exitcode::NoAnswer, "the unit did not confirm the configuration write"};
    }
    if (!outcome) {
        throw failureOf(*outcome.error, report.acknowledged || !report.kept
                                            ? "configuration read"
                                            : "configuration write");
    }
    if (report.identical) {
        cli.out() << "written and read back: the unit holds the settings of " << path.toStdString()
                  << '\n';
        return exitcode::Done;
    }
    for (const FieldDifference& d : report.differences) {
        cli.out() << d.field << ": sent " << d.expected << ", the unit holds " << d.actual << '\n';
    }
    if (report.differences.empty()) {
        cli.out() << "the record read back differs from the record sent in bytes no field shows\n";
    }
    throw Failure{exitcode::NoAnswer,
                  "the unit did not take " +
                      std::to_string(std::max<std::size_t>(report.differences.size(), 1)) +
                      " field(s) as sent"};
}

int diffConfigCommand(Cli& cli) {
    const SettingsFile file = readSettings(cli.arguments().front());
    const ConfigRecord unit = readRecord(cli);
    ArchiveReading reading = cli.reading("diff-config");
    reading.configurations = {{ConfigRole::AsRead, unit}};
    cli.archive(std::move(reading));
    for (const FieldDifference& d : compareSettings(file.record, unit)) {
        cli.out() << d.field << ": file " << d.expected << ", unit " << d.actual << '\n';
    }
    return exitcode::Done;
}

int calibrateCommand(Cli& cli) {
    CalibrationRun::Inputs inputs;
    bool anyReference = false;
    for (const QString& given : cli.options().values("ref")) {
        const auto eq = given.indexOf('=');
        const std::string name = given.left(eq).trimmed().toLower().toStdString();
        const auto channel = kChannelNames.find(name);
        if (eq < 0 || channel == kChannelNames.end()) {
            throw Failure{exitcode::Usage, "--ref wants CHANNEL=VALUE with CHANNEL one of ua, ub, "
                                           "uc, ia, ib, ic, idif: '" +
                                               given.toStdString() + "'"};
        }
        auto& reference = inputs.references[static_cast<std::size_t>(channel->second)];
        if (reference) {
            // Which of two references was applied only the user knows.
            throw Failure{exitcode::Usage, "--ref " + name + " given more than once"};
        }
        const std::string typed = given.mid(eq + 1).toStdString();
        const auto value = parseDecimal(typed);
        if (!value) {
            throw Failure{exitcode::Invalid, "--ref " + name + ": '" + typed +
                                                 "' is not a number (digits, with , or . "
                                                 "before the decimals)"};
        }
        if (!std::isfinite(*value) || !(*value > 0)) {
            throw Failure{exitcode::Invalid,
                          "--ref " + name + ": the reference must be a number above 0"};
        }
        reference = typed;
        anyReference = true;
    }
    if (!anyReference) {
        throw Failure{exitcode::Usage, "calibrate needs at least one --ref CHANNEL=VALUE"};
    }
    cli.requireYes("calibrate");
    // Channels not named keep the coefficients the unit holds now.
    const ConfigRecord record = readRecord(cli);
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        inputs.kept[i] = std::to_string(record.coefficients[i]);
    }
    CalibrationRun run(cli.session());
    int progress = 0;
    run.onProgress([&](Progress p) { progress = p.done; });
    const auto outcome = runToEnd(run, [&] { run.start(inputs); });
    if (!outcome) {
        throw failureOf(*outcome.error, progress > kCalibrationSampleCount ? "coefficient write"
                                                                           : "calibration sample");
    }
    const CalibrationResult& result = *outcome.result;
    if (result.unexpectedSelector) {
        throw Failure{exitcode::NoAnswer,
                      "the unit answered the calibration sample with selector " +
                          std::to_string(*result.unexpectedSelector)};
    }
    if (result.fault) {
        const CalibrationFault& fault = *result.fault;
        const bool computed = fault.kind == CalibrationFault::Kind::CoefficientNotAWord;
        throw Failure{exitcode::Invalid,
                      std::string("calibration.") + kChannelKeys[fault.channel] +
                          "_coefficient: the reference gives " +
                          (computed ? std::to_string(fault.value) : std::string("no value")) +
                          ", outside 0..65535; nothing was written"};
    }
    cli.out() << calibrationJson(*result.ack);
    return exitcode::Done;
}

} // namespace torl7
