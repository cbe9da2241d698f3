#include "cli.hpp"

namespace torl7 {

int Cli::readConfig(QCommandLineParser& parser) {
    checkOutput(parser.value("output"));
    openPort();
    SettingsProvenance origin;
    origin.unit = unit_;
    // The firmware version is noted when the unit gives it; a unit that does not is still read.
    if (const auto version = tryExchange(kind::Version, {})) {
        origin.firmware = trimmedRight(decodeVersionText(version->payload()));
    }
    const ConfigRecord record = readRecord();
    origin.readAt = QDateTime::currentDateTime().toString(Qt::ISODate).toStdString();
    origin.toolVersion = std::string(toolVersion());
    writeOutput(parser.value("output"), writeSettingsFile(asPageHolds(record), origin));
    // The file holds what the window's page would show; a value it cannot hold is named.
    for (const ClampedField& c : clampedFields(record)) {
        err_ << "torl7-cli: " << c.field->path() << ": the unit holds " << c.unitSteps
             << ", the file the limit " << c.heldSteps << '\n';
    }
    return exitcode::Done;
}

int Cli::writeConfig(QCommandLineParser& parser) {
    const QString path = onlyArgument(parser, "settings file");
    requireYes(parser, "write-config");
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
    openPort();
    const ConfigHistory history;
    WriteConfiguration write(*session_, &history);
    const auto result = waitUntilEnded<WriteConfiguration::Result>([&](auto finished) {
        write.start(file.record, {nullptr, std::move(finished)});
    });
    if (result.kept && !*result.kept) {
        const QString reason =
            result.kept->reason.isEmpty() ? QString() : ": " + result.kept->reason;
        throw Failure{exitcode::Invalid, "cannot keep the unit's settings before the write in " +
                                             (result.kept->path + reason).toStdString() +
                                             "; nothing was written"};
    }
    if (result.kept) {
        out_ << "the unit's settings before the write: " << result.kept->path.toStdString() << '\n';
    }
    if (!result.readBack) {
        if (result.error && result.error->kind == SessionError::Kind::PortNotOpened) {
            throw portNotOpened(*result.error, port_);
        }
        throw noAnswerFailure(result.error, result.acknowledged || !result.kept
                                                ? "configuration read"
                                                : "configuration write");
    }
    if (result.identical) {
        out_ << "written and read back: the unit holds the settings of " << path.toStdString()
             << '\n';
        return exitcode::Done;
    }
    for (const FieldDifference& d : result.differences) {
        out_ << d.field << ": sent " << d.expected << ", the unit holds " << d.actual << '\n';
    }
    if (result.differences.empty()) {
        out_ << "the record read back differs from the record sent in bytes no field shows\n";
    }
    throw Failure{exitcode::NoAnswer,
                  "the unit did not take " +
                      std::to_string(std::max<std::size_t>(result.differences.size(), 1)) +
                      " field(s) as sent"};
}

int Cli::diffConfig(QCommandLineParser& parser) {
    const QString path = onlyArgument(parser, "settings file");
    const SettingsFile file = readSettings(path);
    openPort();
    const ConfigRecord unit = readRecord();
    for (const FieldDifference& d : compareSettings(file.record, unit)) {
        out_ << d.field << ": file " << d.expected << ", unit " << d.actual << '\n';
    }
    return exitcode::Done;
}

int Cli::calibrate(QCommandLineParser& parser) {
    CalibrationRun::Inputs inputs;
    bool anyReference = false;
    for (const QString& given : parser.values("ref")) {
        const auto eq = given.indexOf('=');
        const std::string name = given.left(eq).trimmed().toLower().toStdString();
        const auto channel = kChannelNames.find(name);
        if (eq < 0 || channel == kChannelNames.end()) {
            throw Failure{exitcode::Usage, "--ref wants CHANNEL=VALUE with CHANNEL one of ua, ub, "
                                           "uc, ia, ib, ic, idif: '" +
                                               given.toStdString() + "'"};
        }
        const std::string typed = given.mid(eq + 1).toStdString();
        const auto value = parseDecimal(typed);
        if (!value || !(*value > 0)) {
            throw Failure{exitcode::Invalid,
                          "--ref " + name + ": the reference must be a number above 0"};
        }
        inputs.references[static_cast<std::size_t>(channel->second)] = typed;
        anyReference = true;
    }
    if (!anyReference) {
        throw Failure{exitcode::Usage, "calibrate needs at least one --ref CHANNEL=VALUE"};
    }
    requireYes(parser, "calibrate");
    openPort();
    // Channels not named keep the coefficients the unit holds now.
    const ConfigRecord record = readRecord();
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        inputs.kept[i] = std::to_string(record.coefficients[i]);
    }
    CalibrationRun run(*session_);
    int progress = 0;
    const auto result = waitUntilEnded<CalibrationRun::Result>([&](auto finished) {
        run.start(inputs, {[&](int count) { progress = count; }, nullptr, std::move(finished)});
    });
    if (result.error) {
        throw noAnswerFailure(result.error, progress > kCalibrationSampleCount
                                                ? "coefficient write"
                                                : "calibration sample");
    }
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
    out_ << calibrationJson(*result.ack);
    return exitcode::Done;
}

} // namespace torl7
