#include "commands.hpp"

#include "config/calibration_codec.hpp"
#include "config/clock_codec.hpp"
#include "config/settings_file.hpp"
#include "config/speed_change_codec.hpp"
#include "config/version_codec.hpp"
#include "diag/poll_sequence.hpp"
#include "diag/snapshot_codec.hpp"
#include "diag/waveform_codec.hpp"
#include "journal/accounting_codec.hpp"
#include "journal/event_codec.hpp"
#include "link/line_speed.hpp"
#include "link/qt_serial_line.hpp"
#include "link/request_kind.hpp"
#include "report/report_content.hpp"
#include "report/report_template.hpp"
#include "report/settings_values.hpp"
#include "unit_client.hpp"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

std::string json(const QJsonValue& value, bool compact = false) {
    const auto format = compact ? QJsonDocument::Compact : QJsonDocument::Indented;
    const QJsonDocument doc =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    std::string text = doc.toJson(format).toStdString();
    if (compact) {
        text += '\n';
    }
    return text;
}

const char* colorName(IndicatorColor color) {
    switch (color) {
    case IndicatorColor::Red:
        return "red";
    case IndicatorColor::Green:
        return "green";
    default:
        return "silver";
    }
}

QJsonObject stampJson(const ClockStamp& s) {
    return {{"seconds", s.seconds}, {"minutes", s.minutes}, {"hours", s.hours},
            {"day", s.day},         {"month", s.month},     {"year", s.year}};
}

QJsonObject snapshotJson(const Snapshot& s, int unit) {
    const QJsonObject raw{
        {"clock", stampJson(s.clock)},
        {"clock_stopped", s.clockStopped},
        {"clock_calibration", s.clockCalibration},
        {"auto_dst", s.autoDst},
        {"trip_flags", s.tripFlags},
        {"equipment_flags", s.equipmentFlags},
        {"function_flags", s.functionFlags},
        {"ua_v", s.uaVolts},
        {"ub_v", s.ubVolts},
        {"uc_v", s.ucVolts},
        {"ia_tenths_a", s.iaTenthsAmp},
        {"ib_tenths_a", s.ibTenthsAmp},
        {"ic_tenths_a", s.icTenthsAmp},
        {"idif_tenths_a", s.idifTenthsAmp},
        {"cos_f_byte", s.cosByte},
        {"u_asymmetry_percent", s.voltageAsymmetryPercent},
        {"i_asymmetry_percent", s.currentAsymmetryPercent},
        {"overload_tenths", s.overloadTenths},
        {"umin_remaining_tenths_s", s.uminDelayTenthsSec},
        {"umax_remaining_tenths_s", s.umaxDelayTenthsSec},
        {"u_asymmetry_remaining_tenths_s", s.uasmDelayTenthsSec},
        {"idle_current_remaining_tenths_s", s.iholDelayTenthsSec},
        {"i_asymmetry_remaining_tenths_s", s.iasmDelayTenthsSec},
        {"overload_remaining_tenths_s", s.ivtzDelayTenthsSec},
        {"locked_rotor_remaining_tenths_s", s.izaklDelayTenthsSec},
        {"leakage_remaining_tenths_s", s.idifDelayTenthsSec},
        {"power_tenths_kw", s.powerTenthsKw},
        {"energy_millionths_kwh", static_cast<qint64>(s.energyMillionthsKwh)},
        {"running_s", static_cast<qint64>(s.runningSeconds)},
        {"reset_lock_s", s.resetLockSeconds},
    };
    const SnapshotTexts t = formatSnapshot(s);
    const QJsonObject texts{
        {"ttime", q(t.ttime)},     {"tDATE", q(t.tDATE)},     {"st_ua", q(t.st_ua)},
        {"st_ub", q(t.st_ub)},     {"st_uc", q(t.st_uc)},     {"st_ia", q(t.st_ia)},
        {"st_ib", q(t.st_ib)},     {"st_ic", q(t.st_ic)},     {"st_idif", q(t.st_idif)},
        {"st_cos", q(t.st_cos)},   {"st_uasm", q(t.st_uasm)}, {"st_iasm", q(t.st_iasm)},
        {"st_ikrp", q(t.st_ikrp)}, {"c_umin", q(t.c_umin)},   {"c_umax", q(t.c_umax)},
        {"c_uasm", q(t.c_uasm)},   {"c_ihol", q(t.c_ihol)},   {"c_iasm", q(t.c_iasm)},
        {"c_ivtz", q(t.c_ivtz)},   {"c_izakl", q(t.c_izakl)}, {"c_idif", q(t.c_idif)},
        {"st_pa", q(t.st_pa)},     {"st_wa", q(t.st_wa)},     {"st_moto", q(t.st_moto)},
        {"st_blkz", q(t.st_blkz)},
    };
    const IndicatorStates i = indicatorStates(s);
    const QJsonObject indicators{
        {"sh_umin", colorName(i.sh_umin)}, {"sh_umax", colorName(i.sh_umax)},
        {"sh_uasm", colorName(i.sh_uasm)}, {"sh_ihol", colorName(i.sh_ihol)},
        {"sh_iasm", colorName(i.sh_iasm)}, {"Sh_ivtz", colorName(i.Sh_ivtz)},
        {"sh_zakl", colorName(i.sh_zakl)}, {"sh_idif", colorName(i.sh_idif)},
        {"zp_umin", colorName(i.zp_umin)}, {"zp_umax", colorName(i.zp_umax)},
        {"zp_uasm", colorName(i.zp_uasm)}, {"zp_ihol", colorName(i.zp_ihol)},
        {"zp_iasm", colorName(i.zp_iasm)}, {"zp_ivtz", colorName(i.zp_ivtz)},
        {"zp_zakl", colorName(i.zp_zakl)}, {"zp_idif", colorName(i.zp_idif)},
        {"Sh_z", colorName(i.Sh_z)},       {"sh_dv", colorName(i.sh_dv)},
        {"sh_iso", colorName(i.sh_iso)},
    };
    return {{"unit", unit}, {"raw", raw}, {"texts", texts}, {"indicators", indicators}};
}

QJsonObject accountingJson(const AccountingRecord& r) {
    const AccountingTexts t = formatAccounting(r);
    return {
        {"raw", QJsonObject{{"running_s", static_cast<qint64>(r.runningSeconds)},
                            {"starts", r.starts},
                            {"trips", r.trips},
                            {"energy_millionths_kwh", static_cast<qint64>(r.energyMillionthsKwh)},
                            {"start", stampJson(r.start)}}},
        {"texts", QJsonObject{{"start_of_accounting", q(t.st_nuh)},
                              {"running_time", q(t.st_tdv)},
                              {"starts", q(t.st_kvdv)},
                              {"trips", q(t.st_kzdv)},
                              {"energy_kwh", q(t.st_nwa)}}},
    };
}

// Grid columns 1..12 of the event protocol.
const std::array<const char*, 12> kEventHeader = {"Дата/Время", "ТОРЛ",  "Обор.",  "Защита",
                                                  "Ua, В",      "Ub, В", "Uc, В",  "Ia, A",
                                                  "Ib, A",      "Ic, A", "Iут, А", "cos f"};
const std::array<const char*, 12> kEventKeys = {"date_time", "unit", "equipment", "protection",
                                                "ua_v",      "ub_v", "uc_v",      "ia_a",
                                                "ib_a",      "ic_a", "idif_a",    "cos_f"};

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
const std::array<const char*, kCoefficientCount> kChannelKeys = {"ua", "ub", "uc",  "ia",
                                                                 "ib", "ic", "idif"};

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
    std::unique_ptr<UnitClient> client_;
    QString port_;
    int unit_ = 600;
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
        UnitClient::Settings settings;
        unit_ = static_cast<int>(number("unit", kMinFactoryNumber, kMaxFactoryNumber, 600));
        settings.factoryNumber = static_cast<std::uint16_t>(unit_);
        const auto baud = number("speed", 300, 115200, 115200);
        settings.speedIndex = indexForBaud(static_cast<int>(baud));
        if (settings.speedIndex < 0) {
            throw Failure{exitcode::Invalid, "--speed must be one of 300, 600, 1200, 2400, 4800, "
                                             "9600, 14400, 19200, 38400, 57600, 115200"};
        }
        if (parser.isSet("timeout-ms")) {
            settings.timeoutMs = static_cast<int>(number("timeout-ms", 1, 600000, 0));
        }
        client_ = std::make_unique<UnitClient>(line_, settings);

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
        client_.reset();
        line_.close();
        return fail(failure);
    }
}

// ---- Shared steps ----

class PortOpener {
public:
    static void open(UnitClient& client, const QString& port) {
        QString error;
        if (!client.open(port, error)) {
            throw Failure{exitcode::PortFailed,
                          "cannot open " + port.toStdString() + ": " + error.toStdString()};
        }
    }
};

Frame Cli::exchange(std::uint8_t requestKind, const Bytes& payload, const char* what) {
    auto answer = client_->exchange(requestKind, payload);
    if (!answer) {
        std::string message = std::string("the unit did not answer the ") + what + " request";
        if (!client_->lineError().isEmpty()) {
            message += " (" + client_->lineError().toStdString() + ")";
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
    client_->setSpeedIndex(0);
    PortOpener::open(*client_, port_);
    const Bytes ping = pingFrame(static_cast<std::uint16_t>(unit_));
    for (int speed = 0; speed < kSpeedCount; ++speed) {
        client_->setSpeedIndex(speed);
        const int intervalMs = speed == 0   ? 800
                               : speed == 1 ? 400
                               : speed == 2 ? 200
                               : speed == 3 ? 100
                                            : 50;
        for (int attempt = 0; attempt < 2; ++attempt) {
            const auto answer = client_->exchangeFrame(
                ping, true, client_->settings().timeoutMs.value_or(intervalMs));
            if (answer && answer->length() > 0) {
                out_ << baudForIndex(speed) << '\n';
                return exitcode::Done;
            }
        }
    }
    throw Failure{exitcode::NoAnswer,
                  "no unit " + std::to_string(unit_) + " answered at any speed"};
}

int Cli::snapshot() {
    PortOpener::open(*client_, port_);
    const Frame answer = exchange(kind::Diagnostics, {kSnapshotSelector}, "status snapshot");
    out_ << json(snapshotJson(decodeSnapshot(answer.payload()), unit_));
    return exitcode::Done;
}

int Cli::monitor(QCommandLineParser& parser) {
    const auto count = parseInteger(parser.value("count").toStdString());
    if (!count || *count < 0) {
        throw Failure{exitcode::Invalid, "--count must be a whole number, 0 or more"};
    }
    PortOpener::open(*client_, port_);
    for (std::int64_t n = 0; *count == 0 || n < *count; ++n) {
        const Frame answer = exchange(kind::Diagnostics, {kSnapshotSelector}, "status snapshot");
        out_ << json(snapshotJson(decodeSnapshot(answer.payload()), unit_), true);
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
    PortOpener::open(*client_, port_);
    static const char* const kPhaseNames[] = {"", "A", "B", "C"};
    QJsonArray blocks;
    std::uint8_t selector = selectorAfterSnapshot(view);
    for (;;) {
        const Frame answer = exchange(kind::Diagnostics, {selector}, "waveform");
        const WaveformBlock block = decodeWaveformBlock(answer.payload());
        QJsonArray voltage;
        QJsonArray current;
        for (std::size_t i = 0; i < kWaveformSamples; ++i) {
            voltage.append(block.voltage[i]);
            current.append(block.current[i]);
        }
        blocks.append(QJsonObject{{"phase", kPhaseNames[selector & 3]},
                                  {"selector", selector},
                                  {"voltage", voltage},
                                  {"current", current}});
        const BlockStep step = stepAfterBlock(selector, view);
        if (step.draw) {
            break;
        }
        selector = step.nextSelector;
    }
    out_ << json(QJsonObject{{"unit", unit_}, {"phases", blocks}});
    return exitcode::Done;
}

int Cli::readConfig(QCommandLineParser& parser) {
    PortOpener::open(*client_, port_);
    SettingsProvenance origin;
    origin.unit = unit_;
    // The firmware version is noted when the unit gives it; a unit that does not is still read.
    if (const auto version = client_->exchange(kind::Version, {})) {
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
    PortOpener::open(*client_, port_);
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
    PortOpener::open(*client_, port_);
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
    PortOpener::open(*client_, port_);
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
    QJsonArray events;
    for (const EventRow& row : rows) {
        QJsonObject event;
        for (std::size_t i = 0; i < row.size(); ++i) {
            event.insert(kEventKeys[i], q(row[i]));
        }
        events.append(event);
    }
    out_ << json(events);
    return exitcode::Done;
}

int Cli::readAccounting() {
    PortOpener::open(*client_, port_);
    const Frame answer = exchange(kind::AccountingRead, {}, "accounting read");
    out_ << json(accountingJson(decodeAccounting(answer.payload())));
    return exitcode::Done;
}

int Cli::resetAccounting(QCommandLineParser& parser) {
    requireYes(parser, "reset-accounting");
    PortOpener::open(*client_, port_);
    const Frame answer = exchange(kind::AccountingReset, {}, "accounting reset");
    out_ << json(accountingJson(decodeAccounting(answer.payload())));
    return exitcode::Done;
}

int Cli::setClock(QCommandLineParser& parser) {
    const auto calibration = parseInteger(parser.value("calibration").toStdString());
    if (!calibration || *calibration < -kMaxClockCalibration ||
        *calibration > kMaxClockCalibration) {
        throw Failure{exitcode::Invalid, "--calibration must be a whole number from -31 to 31"};
    }
    PortOpener::open(*client_, port_);
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
    PortOpener::open(*client_, port_);
    exchange(kind::ProtectionReset, {}, "protection reset");
    out_ << "protection reset\n";
    return exitcode::Done;
}

int Cli::version() {
    PortOpener::open(*client_, port_);
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
    PortOpener::open(*client_, port_);
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
    const CoefficientAck ack = decodeCoefficientAck(answer.payload());
    QJsonObject held;
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        held.insert(kChannelKeys[i], ack.coefficients[i]);
    }
    out_ << json(
        QJsonObject{{"coefficients", held}, {"protection_blocked", ack.protectionBlocked}});
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
    PortOpener::open(*client_, port_);
    // The window's report chain: configuration, accounting record, event protocol.
    const ConfigRecord record = readRecord();
    const AccountingRecord accounting =
        decodeAccounting(exchange(kind::AccountingRead, {}, "accounting read").payload());
    const std::vector<EventRow> events = readEvents();
    client_->close();

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
