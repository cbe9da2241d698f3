#include "cli.hpp"

namespace torl7 {

int Cli::readConfig(QCommandLineParser& parser) {
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
    return exitcode::Done;
}

int Cli::writeConfig(QCommandLineParser& parser) {
    const QString path = onlyArgument(parser, "settings file");
    requireYes(parser, "write-config");
    const SettingsFile file = readSettings(path);
    // The unit cannot measure with a coefficient of 0; the window refuses such a write too,
    // checking Ua, Ia, Ub, Ib, Uc, Ic, Iут in this order.
    for (const std::size_t channel : {0, 3, 1, 4, 2, 5, 6}) {
        if (file.record.coefficients[channel] == 0) {
            throw Failure{exitcode::Invalid, path.toStdString() + ": calibration." +
                                                 kChannelKeys[channel] +
                                                 "_coefficient: 0 is no valid coefficient; "
                                                 "nothing was written"};
        }
    }
    openPort();
    exchange(kind::Write, configWritePayload(file.record), "configuration write");
    const ConfigRecord readBack = readRecord();
    if (encodeConfigRecord(readBack) == encodeConfigRecord(file.record)) {
        out_ << "written and read back: the unit holds the settings of " << path.toStdString()
             << '\n';
        return exitcode::Done;
    }
    const auto differences = compareSettings(file.record, readBack);
    for (const FieldDifference& d : differences) {
        out_ << d.field << ": sent " << d.expected << ", the unit holds " << d.actual << '\n';
    }
    if (differences.empty()) {
        out_ << "the record read back differs from the record sent in bytes no field shows\n";
    }
    throw Failure{exitcode::NoAnswer,
                  "the unit did not take " +
                      std::to_string(std::max<std::size_t>(differences.size(), 1)) +
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
    std::map<Channel, double> references;
    for (const QString& given : parser.values("ref")) {
        const auto eq = given.indexOf('=');
        const std::string name = given.left(eq).trimmed().toLower().toStdString();
        const auto channel = kChannelNames.find(name);
        if (eq < 0 || channel == kChannelNames.end()) {
            throw Failure{exitcode::Usage, "--ref wants CHANNEL=VALUE with CHANNEL one of ua, ub, "
                                           "uc, ia, ib, ic, idif: '" +
                                               given.toStdString() + "'"};
        }
        const auto value = parseDecimal(given.mid(eq + 1).toStdString());
        if (!value || !(*value > 0)) {
            throw Failure{exitcode::Invalid,
                          "--ref " + name + ": the reference must be a number above 0"};
        }
        references[channel->second] = *value;
    }
    if (references.empty()) {
        throw Failure{exitcode::Usage, "calibrate needs at least one --ref CHANNEL=VALUE"};
    }
    requireYes(parser, "calibrate");
    openPort();
    // Channels not named keep the coefficients the unit holds now.
    const ConfigRecord record = readRecord();
    std::array<CalibrationSum, kCoefficientCount> sums{};
    for (int sample = 0; sample < kCalibrationSampleCount; ++sample) {
        const Frame answer =
            exchange(kind::Diagnostics, {kCalibrationSelector}, "calibration sample");
        if (answer.reader().byte(0) != kCalibrationSelector) {
            throw Failure{exitcode::NoAnswer,
                          "the unit answered the calibration sample with selector " +
                              std::to_string(answer.reader().byte(0))};
        }
        const CalibrationSample s = decodeCalibrationSample(answer.payload());
        for (std::size_t i = 0; i < kCoefficientCount; ++i) {
            sums[i] += static_cast<CalibrationSum>(s.readings[i]);
        }
    }
    std::array<std::int64_t, kCoefficientCount> coefficients{};
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        coefficients[i] = record.coefficients[i];
    }
    for (const auto& [channel, reference] : references) {
        const auto index = static_cast<std::size_t>(channel);
        const auto coefficient = computeCoefficient(channel, sums[index], reference);
        if (!coefficient || *coefficient < 0 || *coefficient > kMaxWord) {
            throw Failure{exitcode::Invalid, std::string("calibration.") + kChannelKeys[index] +
                                                 "_coefficient: the reference gives " +
                                                 (coefficient ? std::to_string(*coefficient)
                                                              : std::string("no value")) +
                                                 ", outside 0..65535; nothing was written"};
        }
        coefficients[index] = *coefficient;
    }
    const auto payload = coefficientWritePayload(coefficients);
    if (!payload) {
        throw Failure{exitcode::Invalid,
                      "a coefficient lies outside 0..65535; nothing was written"};
    }
    const Frame answer = exchange(kind::Write, *payload, "coefficient write");
    out_ << calibrationJson(decodeCoefficientAck(answer.payload()));
    return exitcode::Done;
}

} // namespace torl7
