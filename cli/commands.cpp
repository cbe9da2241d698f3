#include "cli.hpp"

#include "session/connection_doctor.hpp"

#include <QCommandLineParser>

namespace torl7 {

QString q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string trimmedRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
        text.pop_back();
    }
    return text;
}

const std::map<std::string, Channel> kChannelNames = {
    {"ua", Channel::Ua}, {"ub", Channel::Ub}, {"uc", Channel::Uc},    {"ia", Channel::Ia},
    {"ib", Channel::Ib}, {"ic", Channel::Ic}, {"idif", Channel::Idif}};

namespace {

struct CommandInfo {
    const char* name;
    const char* synopsis;
    const char* description;
};

const std::vector<CommandInfo> kCommands = {
    {"search", "search",
     "Find the unit's line speed (ping at every speed, twice each); prints the baud rate."},
    {"snapshot", "snapshot", "One status snapshot as JSON: raw values, display texts, indicators."},
    {"waveforms",
     "waveforms [--phases 1..3] [--comtrade BASE] [--comtrade-format ascii|binary|2013] [--csv "
     "FILE] [--rate HZ]",
     "The voltage and current samples of the first N phases as JSON; also as COMTRADE or CSV "
     "files at the sample rate given."},
    {"analyse", "analyse [--phases 1..3] [--rate HZ] | analyse --record FILE [--map ROLE=CH,...]",
     "Period, RMS, angles, harmonics, THD, symmetrical components, unbalance and phase order of "
     "one waveform set from the unit, or of a COMTRADE record (.cfg or .cff), as JSON."},
    {"read-config", "read-config [-o FILE]",
     "The configuration as a settings file, on stdout or in FILE."},
    {"write-config", "write-config FILE --yes",
     "Keep the unit's settings in the history, write a settings file, read it back, list the "
     "fields the unit did not take."},
    {"diff-config", "diff-config FILE",
     "The fields in which a settings file and the unit differ; no output when none."},
    {"read-events", "read-events [--format csv|json] [--separator ;|,]",
     "The event protocol in time order (the grid's twelve columns); CSV in UTF-8 with a "
     "byte-order mark."},
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
    {"bundle", "bundle DIR --rate HZ",
     "Report, settings file, events CSV, accounting JSON, waveforms as COMTRADE (and a PDF of "
     "the report when LibreOffice is installed) in DIR/ТОРЛ_№N_YYYY-MM-DD."},
    {"monitor", "monitor [--count N]",
     "Snapshots as JSON lines, as fast as the line allows (N = 0: until stopped)."},
};

} // namespace

void Cli::addGlobalOptions(QCommandLineParser& parser) {
    parser.addOption({"port", "Serial port to open (a device path).", "PATH"});
    parser.addOption({"speed", "Line speed in baud (300 ... 115200; default 115200).", "BAUD"});
    parser.addOption({"unit", "The unit's factory number (100..65535; default 600).", "N"});
    parser.addOption(
        {"timeout-ms", "Answer timeout in ms (default: by line speed, as the tool waits).", "MS"});
    parser.addOption({"trace", "Write every frame sent and received to stderr, one decoded line "
                               "each."});
    parser.addOption({{"h", "help"}, "Show this help."});
}

void Cli::addCommandOptions(QCommandLineParser& parser, const std::string& command) {
    if (command == "bundle") {
        parser.addPositionalArgument("DIR", "The folder the bundle's folder goes into.");
        parser.addOption(
            {"rate", "Sample rate of the waveforms in Hz (the unit does not say it).", "HZ"});
    }
    if (command == "waveforms") {
        parser.addOption({"phases", "Number of phases, 1..3 (default 3).", "N", "3"});
        parser.addOption(
            {"comtrade", "Also write COMTRADE files BASE.cfg and BASE.dat (or BASE.cff).", "BASE"});
        parser.addOption({"comtrade-format",
                          "ascii (default) or binary: 1999 .cfg + .dat; 2013: one BASE.cff.",
                          "FORMAT", "ascii"});
        parser.addOption({"csv", "Also write the samples as CSV to FILE.", "FILE"});
        parser.addOption({"rate",
                          "Sample rate in Hz for --comtrade and --csv (the unit does not say it).",
                          "HZ"});
    } else if (command == "read-config" || command == "report") {
        parser.addOption({{"o", "output"}, "Write to this file.", "FILE"});
    } else if (command == "read-events") {
        parser.addOption({"format", "csv or json (default csv).", "FORMAT", "csv"});
        parser.addOption({"separator",
                          "CSV field separator: ; (default, for a Russian-locale spreadsheet) "
                          "or ,.",
                          "CHAR", ";"});
    } else if (command == "set-clock") {
        parser.addOption({"calibration", "Clock calibration, -31..31 (default 0).", "N", "0"});
        parser.addOption({"stop", "Stop the unit's clock."});
        parser.addOption({"auto-dst", "Let the unit change to and from summer time itself."});
    } else if (command == "calibrate") {
        parser.addOption(
            {"ref", "Reference applied to a channel, in V or A: CHANNEL=VALUE.", "CHANNEL=VALUE"});
    } else if (command == "analyse") {
        addAnalyseOptions(parser);
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
    help << "Usage: torl7-cli --port PATH [--speed BAUD] [--unit N] [--timeout-ms MS] [--trace] "
            "COMMAND "
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
        // A record on disk is analysed without a unit: no port is needed or opened.
        if (command != "analyse" || !parser.isSet("record")) {
            setUpSession(parser);
        }

        return dispatch(command, parser);
    } catch (const Failure& failure) {
        const int code = fail(failure);
        session_.reset();
        line_.close();
        return code;
    }
}

int Cli::fail(const Failure& failure) {
    err_ << "torl7-cli: " << failure.message << '\n';
    if (failure.unanswered && log_) {
        // What the line showed since the request, so the user knows where to look.
        const std::vector<TrafficEntry> exchange = log_->lastExchange();
        err_ << "torl7-cli: " << noAnswerHint(diagnoseNoAnswer(exchange)) << '\n';
    }
    return failure.code;
}

// The session of this run, from the global options; a bad option throws before anything opens.
void Cli::setUpSession(QCommandLineParser& parser) {
    if (!parser.isSet("port")) {
        throw Failure{exitcode::Usage, "--port PATH is required"};
    }
    port_ = parser.value("port");
    auto number = [&](const char* name, std::int64_t min, std::int64_t max, std::int64_t fallback) {
        if (!parser.isSet(name)) {
            return fallback;
        }
        const auto value = parseInteger(parser.value(name).toStdString());
        if (!value || *value < min || *value > max) {
            throw Failure{exitcode::Invalid, std::string("--") + name + " must be a number from " +
                                                 std::to_string(min) + " to " +
                                                 std::to_string(max)};
        }
        return *value;
    };
    session_ = std::make_unique<UnitSession>(line_);
    log_ = std::make_unique<TrafficLog>();
    log_->listenTo(*session_);
    if (parser.isSet("trace")) {
        QObject::connect(session_.get(), &UnitSession::traffic, log_.get(),
                         [this](const TrafficEntry& entry) {
                             err_ << trafficLine(entry, log_->origin()).toStdString() << '\n';
                         });
    }
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
}

int Cli::dispatch(const std::string& command, QCommandLineParser& parser) {
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
        {"bundle", &Cli::bundle},
        {"monitor", &Cli::monitor},
        {"analyse", &Cli::analyse},
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

Failure noAnswerFailure(const std::optional<SessionError>& error, const char* what) {
    std::string message = std::string("the unit did not answer the ") + what + " request";
    if (error && error->kind == SessionError::Kind::LineLost) {
        message += " (" + error->detail.toStdString() + ")";
    }
    return Failure{exitcode::NoAnswer, message,
                   error && error->kind == SessionError::Kind::Timeout};
}

Frame Cli::exchange(std::uint8_t requestKind, const Bytes& payload, const char* what) {
    auto answer = tryExchange(requestKind, payload);
    if (!answer) {
        throw noAnswerFailure(lastError_, what);
    }
    return *answer;
}

ConfigRecord Cli::readRecord() {
    ReadConfiguration read(*session_);
    const auto result = waitUntilEnded<ReadConfiguration::Result>(
        [&](auto finished) { read.start(std::move(finished)); });
    if (!result.record) {
        throw noAnswerFailure(result.error, "configuration read");
    }
    return *result.record;
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
    EventProtocolRead read(*session_, table);
    return valueOf(runToEnd<EventRows>([&](auto done) { read.start(nullptr, std::move(done)); }),
                   "event block");
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
    // Whole or not at all: a failure leaves no half-written file.
    std::string error;
    if (!writeFileWhole(path.toStdString(), text, error)) {
        throw Failure{exitcode::Invalid, "cannot write " + path.toStdString() + ": " + error};
    }
}

// ---- Commands ----

int runCli(const QStringList& arguments, std::ostream& out, std::ostream& err) {
    Cli cli(out, err);
    return cli.run(arguments);
}

} // namespace torl7
