#include "commands.hpp"

#include "documents/report_content.hpp"
#include "documents/report_template.hpp"
#include "documents/settings_file.hpp"
#include "documents/settings_values.hpp"
#include "protocol/codecs/accounting_codec.hpp"
#include "protocol/codecs/calibration_codec.hpp"
#include "protocol/codecs/clock_codec.hpp"
#include "protocol/codecs/event_codec.hpp"
#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/codecs/speed_change_codec.hpp"
#include "protocol/codecs/version_codec.hpp"
#include "protocol/codecs/waveform_codec.hpp"
#include "protocol/line_speed.hpp"
#include "protocol/poll_sequence.hpp"
#include "protocol/request_kind.hpp"
#include "session/qt_serial_line.hpp"
#include "session/unit_session.hpp"
#include "json_output.hpp"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include <fstream>
#include <map>
#include <sstream>

namespace torl7 {

namespace {

// A failure that ends the command: its exit code and the one line said about it.
struct Failure {
    int code;
    std::string message;
};

QString q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string trimmedRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
        text.pop_back();
    }
    return text;
}

// Grid columns 1..12 of the event protocol.
const std::array<const char*, 12> kEventHeader = {"Дата/Время", "ТОРЛ",  "Обор.",  "Защита",
                                                  "Ua, В",      "Ub, В", "Uc, В",  "Ia, A",
                                                  "Ib, A",      "Ic, A", "Iут, А", "cos f"};

std::string csvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

const std::map<std::string, Channel> kChannelNames = {
    {"ua", Channel::Ua}, {"ub", Channel::Ub}, {"uc", Channel::Uc},    {"ia", Channel::Ia},
    {"ib", Channel::Ib}, {"ic", Channel::Ic}, {"idif", Channel::Idif}};

struct CommandInfo {
    const char* name;
    const char* synopsis;
    const char* description;
};

const std::vector<CommandInfo> kCommands = {
    {"search", "search",
     "Find the unit's line speed (ping at every speed, twice each); prints the baud rate."},
    {"snapshot", "snapshot", "One status snapshot as JSON: raw values, display texts, indicators."},
    {"waveforms", "waveforms [--phases 1..3]",
     "The voltage and current samples of the first N phases as JSON."},
    {"read-config", "read-config [-o FILE]",
     "The configuration as a settings file, on stdout or in FILE."},
    {"write-config", "write-config FILE --yes",
     "Write a settings file, read it back, list the fields the unit did not take."},
    {"diff-config", "diff-config FILE",
     "The fields in which a settings file and the unit differ; no output when none."},
    {"read-events", "read-events [--format csv|json]",
     "The event protocol in time order (the grid's twelve columns)."},
    {"read-accounting", "read-accounting", "The accounting record as JSON."},
    {"reset-accounting", "reset-accounting --yes",
     "Reset the accounting record; prints the record after the reset."},
    {"set-clock", "set-clock [--calibration N] [--stop] [--auto-dst]",
     "Set the unit's clock from this computer's local time."},
    {"reset-protection", "reset-protection", "Reset the unit's tripped protection."},
    {"version", "version", "The unit's firmware version text."},
    {"calibrate", "calibrate --ref CHANNEL=VALUE ... --yes",
     "Ten samples, new coefficients for the named channels (ua ub uc ia ib ic idif), the "
     "coefficient write."},
    {"report", "report -o FILE.docx",
     "Read configuration, accounting and events and write the report document."},
    {"monitor", "monitor [--count N]",
     "Snapshots as JSON lines, as fast as the line allows (N = 0: until stopped)."},
};

class Cli {
public:
    Cli(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    int run(const QStringList& arguments);

private:
    void addGlobalOptions(QCommandLineParser& parser);
    void addCommandOptions(QCommandLineParser& parser, const std::string& command);
    std::string generalHelp() const;
    int fail(const Failure& failure) {
        err_ << "torl7-cli: " << failure.message << '\n';
        return failure.code;
    }

    void openPort();
    void setSpeed(int speedIndex);
    // Sends one request and returns its answer, or nothing.
    std::optional<Frame> tryExchange(std::uint8_t requestKind, const Bytes& payload);
    // Sends one request and returns its answer, or throws the "no answer" failure.
    Frame exchange(std::uint8_t requestKind, const Bytes& payload, const char* what);
    ConfigRecord readRecord();
    SettingsFile readSettings(const QString& path);
    std::vector<EventRow> readEvents();

    int search();
    int snapshot();
    int waveforms(QCommandLineParser& parser);
    int readConfig(QCommandLineParser& parser);
    int writeConfig(QCommandLineParser& parser);
    int diffConfig(QCommandLineParser& parser);
    int readEventsCommand(QCommandLineParser& parser);
    int readAccounting();
    int resetAccounting(QCommandLineParser& parser);
    int setClock(QCommandLineParser& parser);
    int resetProtection();
    int version();
    int calibrate(QCommandLineParser& parser);
    int report(QCommandLineParser& parser);
    int monitor(QCommandLineParser& parser);

    void requireYes(QCommandLineParser& parser, const char* what);
    QString onlyArgument(QCommandLineParser& parser, const char* what);
    void writeOutput(const QString& path, const std::string& text);

    std::ostream& out_;
    std::ostream& err_;
    QtSerialLine line_;
    std::unique_ptr<UnitSession> session_;
    QString port_;
    int unit_ = 600;
    std::optional<SessionError> lastError_;
};

void Cli::addGlobalOptions(QCommandLineParser& parser) {
    parser.addOption({"port", "Serial port to open (a device path).", "PATH"});
    parser.addOption({"speed", "Line speed in baud (300 ... 115200; default 115200).", "BAUD"});
    parser.addOption({"unit", "The unit's factory number (100..65535; default 600).", "N"});
    parser.addOption(
        {"timeout-ms", "Answer timeout in ms (default: by line speed, as the tool waits).", "MS"});
    parser.addOption({{"h", "help"}, "Show this help."});
}

void Cli::addCommandOptions(QCommandLineParser& parser, const std::string& command) {
    if (command == "waveforms") {
        parser.addOption({"phases", "Number of phases, 1..3 (default 3).", "N", "3"});
    } else if (command == "read-config" || command == "report") {
        parser.addOption({{"o", "output"}, "Write to this file.", "FILE"});
    } else if (command == "read-events") {
        parser.addOption({"format", "csv or json (default csv).", "FORMAT", "csv"});
    } else if (command == "set-clock") {
        parser.addOption({"calibration", "Clock calibration, -31..31 (default 0).", "N", "0"});
        parser.addOption({"stop", "Stop the unit's clock."});
        parser.addOption({"auto-dst", "Let the unit change to and from summer time itself."});
    } else if (command == "calibrate") {
        parser.addOption(
            {"ref", "Reference applied to a channel, in V or A: CHANNEL=VALUE.", "CHANNEL=VALUE"});
    } else if (command == "monitor") {
        parser.addOption({"count", "Number of snapshots; 0 until stopped (default 0).", "N", "0"});
    }
    if (command == "write-config" || command == "reset-accounting" || command == "calibrate") {
        parser.addOption({"yes", "Confirm the change to the unit."});
    }
    if (command == "write-config" || command == "diff-config") {
        parser.addPositionalArgument("FILE", "The settings file.");
    }
}

std::string Cli::generalHelp() const {
    std::ostringstream help;
    help << "Usage: torl7-cli --port PATH [--speed BAUD] [--unit N] [--timeout-ms MS] COMMAND "
            "[options]\n\nCommands:\n";
    for (const CommandInfo& c : kCommands) {
        help << "  " << c.synopsis << "\n      " << c.description << '\n';
    }
    help << "\n'torl7-cli COMMAND --help' shows the options of one command.\n"
            "Exit codes: 0 done; 1 the unit did not answer (or did not take the settings);\n"
            "2 usage error; 3 invalid input (settings file, value out of range, unusable file);\n"
            "4 the port could not be opened.\n";
    return help.str();
}

int Cli::run(const QStringList& arguments) {
    // First pass: find the command among the words, whatever options surround it.
    QCommandLineParser first;
    addGlobalOptions(first);
    first.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    first.parse(arguments);
    const QStringList words = first.positionalArguments();
    const std::string command = words.isEmpty() ? std::string() : words.first().toStdString();
    const auto info = std::find_if(kCommands.begin(), kCommands.end(),
                                   [&](const CommandInfo& c) { return command == c.name; });
    if (command.empty() || info == kCommands.end()) {
        if (arguments.contains("--help") || arguments.contains("-h")) {
            out_ << generalHelp();
            return exitcode::Done;
        }
        if (arguments.contains("--version")) {
            out_ << "torl7-cli " << toolVersion() << '\n';
            return exitcode::Done;
        }
        return fail({exitcode::Usage, command.empty()
                                          ? "no command given (try --help)"
                                          : "unknown command '" + command + "' (try --help)"});
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(q(info->description));
    addGlobalOptions(parser);
    addCommandOptions(parser, command);
    if (!parser.parse(arguments)) {
        return fail({exitcode::Usage, parser.errorText().toStdString()});
    }
    if (parser.isSet("help")) {
        std::string help = parser.helpText().toStdString();
        const auto usage = help.find('\n');
        out_ << "Usage: torl7-cli [global options] " << info->synopsis << '\n'
             << (usage == std::string::npos ? help : help.substr(usage + 1));
        return exitcode::Done;
    }

    try {
        if (!parser.isSet("port")) {
            throw Failure{exitcode::Usage, "--port PATH is required"};
        }
        port_ = parser.value("port");
        auto number = [&](const char* name, std::int64_t min, std::int64_t max,
                          std::int64_t fallback) {
            if (!parser.isSet(name)) {
                return fallback;
            }
            const auto value = parseInteger(parser.value(name).toStdString());
            if (!value || *value < min || *value > max) {
                throw Failure{exitcode::Invalid,
                              std::string("--") + name + " must be a number from " +
                                  std::to_string(min) + " to " + std::to_string(max)};
            }
            return *value;
        };
        session_ = std::make_unique<UnitSession>(line_);
        unit_ = static_cast<int>(number("unit", kMinFactoryNumber, kMaxFactoryNumber, 600));
        session_->setFactoryNumber(static_cast<std::uint16_t>(unit_));
        const auto baud = number("speed", 300, 115200, 115200);
        const int speedIndex = indexForBaud(static_cast<int>(baud));
        if (speedIndex < 0) {
            throw Failure{exitcode::Invalid, "--speed must be one of 300, 600, 1200, 2400, 4800, "
                                             "9600, 14400, 19200, 38400, 57600, 115200"};
        }
        setSpeed(speedIndex);
        if (parser.isSet("timeout-ms")) {
            session_->setTimeoutOverride(static_cast<int>(number("timeout-ms", 1, 600000, 0)));
        }
        session_->setPort(port_, port_);

        // Options are checked before the port is touched, so a usage error sends nothing.
        const std::map<std::string, int (Cli::*)(QCommandLineParser&)> withOptions = {
            {"waveforms", &Cli::waveforms},
            {"read-config", &Cli::readConfig},
            {"write-config", &Cli::writeConfig},
            {"diff-config", &Cli::diffConfig},
            {"read-events", &Cli::readEventsCommand},
            {"reset-accounting", &Cli::resetAccounting},
            {"set-clock", &Cli::setClock},
            {"calibrate", &Cli::calibrate},
            {"report", &Cli::report},
            {"monitor", &Cli::monitor},
        };
        const std::map<std::string, int (Cli::*)()> plain = {
            {"search", &Cli::search},
            {"snapshot", &Cli::snapshot},
            {"read-accounting", &Cli::readAccounting},
            {"reset-protection", &Cli::resetProtection},
            {"version", &Cli::version},
        };
        if (const auto it = plain.find(command); it != plain.end()) {
            if (parser.positionalArguments().size() > 1) {
                throw Failure{exitcode::Usage, command + " takes no arguments"};
            }
        }
        // The commands open the port through this after their own checks.
        if (const auto it = withOptions.find(command); it != withOptions.end()) {
            return (this->*(it->second))(parser);
        }
        return (this->*(plain.at(command)))();
    } catch (const Failure& failure) {
        session_.reset();
        line_.close();
        return fail(failure);
    }
}

// ---- Shared steps ----

void Cli::openPort() {
    if (const auto error = session_->comopen()) {
        throw Failure{exitcode::PortFailed,
                      "cannot open " + port_.toStdString() + ": " + error->detail.toStdString()};
    }
}

void Cli::setSpeed(int speedIndex) {
    session_->setSpeedIndex(speedIndex);
    session_->Comspeed();
}

std::optional<Frame> Cli::tryExchange(std::uint8_t requestKind, const Bytes& payload) {
    lastError_.reset();
    const Answer answer = waitForAnswer([&](UnitSession::Reply reply) {
        session_->request(requestKind, payload, std::move(reply), true);
    });
    lastError_ = answer.error;
    return answer.frame;
}

Frame Cli::exchange(std::uint8_t requestKind, const Bytes& payload, const char* what) {
    auto answer = tryExchange(requestKind, payload);
    if (!answer) {
        std::string message = std::string("the unit did not answer the ") + what + " request";
        if (lastError_ && lastError_->kind == SessionError::Kind::LineLost) {
            message += " (" + lastError_->detail.toStdString() + ")";
        }
        throw Failure{exitcode::NoAnswer, message};
    }
    return *answer;
}

ConfigRecord Cli::readRecord() {
    const Frame answer = exchange(kind::ConfigRead, {}, "configuration read");
    return decodeConfigRecord(answer.payload());
}

SettingsFile Cli::readSettings(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw Failure{exitcode::Invalid, "cannot read " + path.toStdString() + ": " +
                                             file.errorString().toStdString()};
    }
    const QByteArray bytes = file.readAll();
    const SettingsReadResult read = readSettingsFile(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!read.file) {
        throw Failure{exitcode::Invalid, path.toStdString() + ": " +
                                             (read.field.empty() ? "" : read.field + ": ") +
                                             read.error};
    }
    return *read.file;
}

std::vector<EventRow> Cli::readEvents() {
    EventTable table;
    for (std::uint8_t block = 0; block < kEventBlocks; ++block) {
        const Frame answer = exchange(kind::EventBlock, {block}, "event block");
        table.storeBlock(decodeEventBlock(answer.payload()));
    }
    return table.finish();
}

void Cli::requireYes(QCommandLineParser& parser, const char* what) {
    if (!parser.isSet("yes")) {
        throw Failure{exitcode::Usage,
                      std::string(what) + " changes the unit: add --yes to go ahead"};
    }
}

QString Cli::onlyArgument(QCommandLineParser& parser, const char* what) {
    const QStringList words = parser.positionalArguments();
    if (words.size() != 2) {
        throw Failure{exitcode::Usage, std::string("give exactly one ") + what};
    }
    return words[1];
}

void Cli::writeOutput(const QString& path, const std::string& text) {
    if (path.isEmpty()) {
        out_ << text;
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.flush()) {
        throw Failure{exitcode::Invalid, "cannot write " + path.toStdString() + ": " +
                                             file.errorString().toStdString()};
    }
}

// ---- Commands ----

int Cli::search() {
    // The search dialog's schedule: two pings per speed, slowest first, each waiting the
    // interval of its speed for the answer.
    setSpeed(0);
    openPort();
    const Bytes ping = pingFrame(static_cast<std::uint16_t>(unit_));
    for (int speed = 0; speed < kSpeedCount; ++speed) {
        setSpeed(speed);
        const int intervalMs = speed == 0   ? 800
                               : speed == 1 ? 400
                               : speed == 2 ? 200
                               : speed == 3 ? 100
                                            : 50;
        for (int attempt = 0; attempt < 2; ++attempt) {
            const Answer answer = waitForAnswer([&](UnitSession::Reply reply) {
                session_->requestUncounted(ping, std::move(reply),
                                           session_->timeoutOverride().value_or(intervalMs));
            });
            if (answer.frame && answer.frame->length() > 0) {
                out_ << baudForIndex(speed) << '\n';
                return exitcode::Done;
            }
        }
    }
    throw Failure{exitcode::NoAnswer,
                  "no unit " + std::to_string(unit_) + " answered at any speed"};
}

int Cli::snapshot() {
    openPort();
    const Frame answer = exchange(kind::Diagnostics, {kSnapshotSelector}, "status snapshot");
    out_ << snapshotJson(decodeSnapshot(answer.payload()), unit_);
    return exitcode::Done;
}

int Cli::monitor(QCommandLineParser& parser) {
    const auto count = parseInteger(parser.value("count").toStdString());
    if (!count || *count < 0) {
        throw Failure{exitcode::Invalid, "--count must be a whole number, 0 or more"};
    }
    openPort();
    for (std::int64_t n = 0; *count == 0 || n < *count; ++n) {
        const Frame answer = exchange(kind::Diagnostics, {kSnapshotSelector}, "status snapshot");
        out_ << snapshotJson(decodeSnapshot(answer.payload()), unit_, JsonLayout::OneLine);
        out_.flush();
    }
    return exitcode::Done;
}

int Cli::waveforms(QCommandLineParser& parser) {
    const auto phases = parseInteger(parser.value("phases").toStdString());
    if (!phases || *phases < 1 || *phases > kMaxViewIndex) {
        throw Failure{exitcode::Invalid, "--phases must be 1, 2 or 3"};
    }
    const int view = static_cast<int>(*phases);
    openPort();
    std::vector<PhaseSamples> blocks;
    std::uint8_t selector = selectorAfterSnapshot(view);
    for (;;) {
        const Frame answer = exchange(kind::Diagnostics, {selector}, "waveform");
        blocks.push_back({selector, decodeWaveformBlock(answer.payload())});
        const BlockStep step = stepAfterBlock(selector, view);
        if (step.draw) {
            break;
        }
        selector = step.nextSelector;
    }
    out_ << waveformsJson(unit_, blocks);
    return exitcode::Done;
}

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

int Cli::readEventsCommand(QCommandLineParser& parser) {
    const QString format = parser.value("format");
    if (format != "csv" && format != "json") {
        throw Failure{exitcode::Usage, "--format must be csv or json"};
    }
    openPort();
    const std::vector<EventRow> rows = readEvents();
    if (format == "csv") {
        for (std::size_t i = 0; i < kEventHeader.size(); ++i) {
            out_ << (i ? "," : "") << csvCell(kEventHeader[i]);
        }
        out_ << '\n';
        for (const EventRow& row : rows) {
            for (std::size_t i = 0; i < row.size(); ++i) {
                out_ << (i ? "," : "") << csvCell(row[i]);
            }
            out_ << '\n';
        }
        return exitcode::Done;
    }
    out_ << eventsJson(rows);
    return exitcode::Done;
}

int Cli::readAccounting() {
    openPort();
    const Frame answer = exchange(kind::AccountingRead, {}, "accounting read");
    out_ << accountingJson(decodeAccounting(answer.payload()));
    return exitcode::Done;
}

int Cli::resetAccounting(QCommandLineParser& parser) {
    requireYes(parser, "reset-accounting");
    openPort();
    const Frame answer = exchange(kind::AccountingReset, {}, "accounting reset");
    out_ << accountingJson(decodeAccounting(answer.payload()));
    return exitcode::Done;
}

int Cli::setClock(QCommandLineParser& parser) {
    const auto calibration = parseInteger(parser.value("calibration").toStdString());
    if (!calibration || *calibration < -kMaxClockCalibration ||
        *calibration > kMaxClockCalibration) {
        throw Failure{exitcode::Invalid, "--calibration must be a whole number from -31 to 31"};
    }
    openPort();
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    ClockCorrection correction;
    correction.calibration = static_cast<int>(*calibration);
    correction.clock.seconds = time.second();
    correction.clock.minutes = time.minute();
    correction.clock.hours = time.hour();
    correction.clock.weekday = date.dayOfWeek() % 7 + 1; // the unit counts from Sunday = 1
    correction.clock.day = date.day();
    correction.clock.month = date.month();
    correction.clock.year = date.year() % 100;
    correction.clock.stopped = parser.isSet("stop");
    correction.autoDst = parser.isSet("auto-dst");
    exchange(kind::Clock, encodeClockCorrection(correction, date.year()), "clock correction");
    out_ << "clock set to " << now.toString("dd.MM.yyyy HH:mm:ss").toStdString() << '\n';
    return exitcode::Done;
}

int Cli::resetProtection() {
    openPort();
    exchange(kind::ProtectionReset, {}, "protection reset");
    out_ << "protection reset\n";
    return exitcode::Done;
}

int Cli::version() {
    openPort();
    const Frame answer = exchange(kind::Version, {}, "firmware version");
    // Without the blanks and zero bytes that fill the 16 positions, so scripts compare texts.
    out_ << trimmedRight(decodeVersionText(answer.payload())) << '\n';
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

int Cli::report(QCommandLineParser& parser) {
    const QString path = parser.value("output");
    if (path.isEmpty()) {
        throw Failure{exitcode::Usage, "report needs -o FILE.docx"};
    }
    const auto templatePath = findReportTemplate(
        std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String()));
    if (!templatePath) {
        throw Failure{exitcode::Invalid,
                      "the report template " + std::string(kReportTemplateName) + " was not found"};
    }
    DocxDocument document;
    if (!document.openFile(utf8Path(*templatePath))) {
        throw Failure{exitcode::Invalid, document.error()};
    }
    openPort();
    // The window's report chain: configuration, accounting record, event protocol.
    const ConfigRecord record = readRecord();
    const AccountingRecord accounting =
        decodeAccounting(exchange(kind::AccountingRead, {}, "accounting read").payload());
    const std::vector<EventRow> events = readEvents();
    session_->comclose();

    ReportData data;
    data.factoryNumber = std::to_string(unit_);
    data.events.assign(events.begin(), events.end());
    data.settingsValues = settingsValuesFor(record);
    const AccountingTexts texts = formatAccounting(accounting);
    data.accountingValues = {texts.st_nuh, texts.st_tdv, texts.st_kvdv, texts.st_kzdv,
                             texts.st_nwa};
    std::string error;
    if (!fillReport(
            document, data, [](int) {}, error)) {
        throw Failure{exitcode::Invalid, error};
    }
    if (!document.saveAs(path.toStdString())) {
        throw Failure{exitcode::Invalid,
                      "cannot write " + path.toStdString() + ": " + document.error()};
    }
    out_ << "report written to " << path.toStdString() << '\n';
    return exitcode::Done;
}

} // namespace

int runCli(const QStringList& arguments, std::ostream& out, std::ostream& err) {
    Cli cli(out, err);
    return cli.run(arguments);
}

} // namespace torl7
