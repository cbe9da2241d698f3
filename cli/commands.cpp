#include "cli.hpp"

#include "command_table.hpp"
#include "documents/file_output.hpp"
#include "documents/settings_file.hpp"
#include "protocol/config_fields.hpp"
#include "protocol/encodings.hpp"
#include "protocol/line_speed.hpp"
#include "session/connection_doctor.hpp"
#include "session/port_access.hpp"

#include <algorithm>

namespace torl7 {

QString q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

namespace {

void addOptions(QCommandLineParser& parser, const std::vector<CommandOption>& options) {
    for (const CommandOption& o : options) {
        parser.addOption(QCommandLineOption(o.names, o.description, o.valueName, o.defaultValue));
    }
}

// A single-valued option given twice would leave the command to guess which one was meant.
// A command may take a global option more than once (timeline's --unit).
std::optional<std::string> repeatedOption(const QCommandLineParser& parser,
                                          const std::vector<CommandOption>& options,
                                          const Command& command) {
    for (const CommandOption& o : options) {
        const bool repeatable = std::any_of(
            command.options.begin(), command.options.end(), [&](const CommandOption& own) {
                return own.names == o.names && own.times == CommandOption::Times::Repeated;
            });
        if (o.times == CommandOption::Times::Once && !repeatable && !o.valueName.isEmpty() &&
            parser.values(o.names.front()).size() > 1) {
            return "--" + o.names.back().toStdString() + " given more than once";
        }
    }
    return std::nullopt;
}

} // namespace

Failure failureOf(const SessionError& error, const std::string& what) {
    using Kind = SessionError::Kind;
    switch (error.kind) {
    case Kind::NoPort:
    case Kind::PortNotOpened: {
        // The system's reason, or what stands in the way (the group, another program).
        const QString hint = portRefusalHint(error.refusal, false);
        return Failure{exitcode::PortFailed,
                       "cannot open " + error.port.toStdString() + ": " +
                           (hint.isEmpty() ? error.detail : hint).toStdString()};
    }
    case Kind::Timeout:
        return Failure{exitcode::NoAnswer, "the unit did not answer the " + what + " request",
                       true};
    case Kind::LineLost:
        return Failure{exitcode::NoAnswer, "the unit did not answer the " + what + " request (" +
                                               error.detail.toStdString() + ")"};
    case Kind::SpeedFixed:
        return Failure{exitcode::Usage,
                       "the speed of " + error.port.toStdString() +
                           " is set in its server: the tool cannot try other speeds (set it in "
                           "the server, or open the line as rfc2217:// if the server allows)"};
    case Kind::Refused:
    case Kind::Cancelled:
        break;
    }
    return Failure{exitcode::NoAnswer, "the " + what + " request was not sent"};
}

int Cli::run(const QStringList& arguments) {
    // First pass: find the command among the words, whatever options surround it.
    QCommandLineParser first;
    addOptions(first, globalOptions());
    first.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    first.parse(arguments);
    const QStringList words = first.positionalArguments();
    const std::string name = words.isEmpty() ? std::string() : words.first().toStdString();
    const Command* command = findCommand(name);
    if (!command) {
        if (arguments.contains("--help") || arguments.contains("-h")) {
            out_ << generalHelp();
            return exitcode::Done;
        }
        if (arguments.contains("--version")) {
            out_ << "torl7-cli " << toolVersion() << '\n';
            return exitcode::Done;
        }
        if (arguments.contains("--manual-commands")) {
            out_ << manualCommands();
            return exitcode::Done;
        }
        return fail({exitcode::Usage, name.empty()
                                          ? "no command given (try --help)"
                                          : "unknown command '" + name + "' (try --help)"});
    }

    parser_.setApplicationDescription(q(command->summary));
    addOptions(parser_, globalOptions());
    // A global option the command takes its own way (timeline's repeated --unit) is the same
    // option to the parser.
    std::vector<CommandOption> own;
    std::copy_if(command->options.begin(), command->options.end(), std::back_inserter(own),
                 [](const CommandOption& o) {
                     return std::none_of(
                         globalOptions().begin(), globalOptions().end(),
                         [&](const CommandOption& global) { return global.names == o.names; });
                 });
    addOptions(parser_, own);
    for (const CommandArgument& argument : command->arguments) {
        parser_.addPositionalArgument(argument.name, argument.description);
    }
    if (!parser_.parse(arguments)) {
        return fail({exitcode::Usage, parser_.errorText().toStdString()});
    }
    if (parser_.isSet("help")) {
        std::string help = parser_.helpText().toStdString();
        const auto usage = help.find('\n');
        out_ << "Usage: torl7-cli [global options] " << command->synopsis << '\n'
             << (usage == std::string::npos ? help : help.substr(usage + 1));
        return exitcode::Done;
    }
    // Words the command does not take, or options given twice, are refused before anything
    // is opened: a command never guesses what was meant.
    const QStringList extra = parser_.positionalArguments().mid(1);
    if (extra.size() != static_cast<qsizetype>(command->arguments.size())) {
        std::string wanted;
        for (const CommandArgument& argument : command->arguments) {
            wanted += " " + argument.name.toStdString();
        }
        return fail({exitcode::Usage,
                     command->name +
                         (wanted.empty() ? " takes no arguments" : " takes exactly" + wanted) +
                         (extra.size() > static_cast<qsizetype>(command->arguments.size())
                              ? " ('" + extra.back().toStdString() + "' is one too many)"
                              : std::string())});
    }
    for (const auto* options : {&globalOptions(), &command->options}) {
        if (const auto repeated = repeatedOption(parser_, *options, *command)) {
            return fail({exitcode::Usage, *repeated});
        }
    }

    int code = exitcode::Done;
    try {
        // A record on disk is analysed without a unit: no port is needed.
        const bool recordOnly = command->name == "analyse" && parser_.isSet("record");
        setUpSession(command->lines == Command::Lines::Port && !recordOnly);
        code = command->run(*this);
    } catch (const Failure& failure) {
        code = fail(failure);
        session_.reset();
        line_.close();
    }
    finishArchive();
    return code;
}

int Cli::fail(const Failure& failure) {
    err_ << "torl7-cli: " << failure.message << '\n';
    if (failure.unanswered && log_) {
        // What the line showed since the request, so the user knows where to look.
        const std::vector<TrafficEntry> exchange = log_->lastExchange();
        LineDiagnosis diagnosis = diagnoseNoAnswer(exchange);
        diagnosis.line = lineKind(port_.toStdString());
        err_ << "torl7-cli: " << noAnswerHint(diagnosis, HintReader::Cli) << '\n';
    }
    return failure.code;
}

std::int64_t Cli::integerOption(const QString& name, std::int64_t min, std::int64_t max,
                                std::int64_t fallback) const {
    if (!parser_.isSet(name)) {
        return fallback;
    }
    const auto value = parseInteger(parser_.value(name).toStdString());
    if (!value || *value < min || *value > max) {
        throw Failure{exitcode::Invalid, "--" + name.toStdString() + " must be a number from " +
                                             std::to_string(min) + " to " + std::to_string(max)};
    }
    return *value;
}

// The session of this run, from the global options; a bad option throws before anything opens.
void Cli::setUpSession(bool needsPort) {
    if (needsPort && !parser_.isSet("port")) {
        throw Failure{exitcode::Usage, "--port PORT is required"};
    }
    port_ = parser_.value("port");
    if (needsPort && port_.trimmed().isEmpty()) {
        throw Failure{exitcode::Usage, "--port is empty: name a serial port (a device path, "
                                       "tcp://HOST:PORT or rfc2217://HOST:PORT)"};
    }
    unit_ = static_cast<int>(integerOption("unit", kMinFactoryNumber, kMaxFactoryNumber, 600));
    const auto baud = integerOption("speed", 300, 115200, 115200);
    const int speedIndex = indexForBaud(static_cast<int>(baud));
    if (speedIndex < 0) {
        throw Failure{exitcode::Invalid, "--speed must be one of 300, 600, 1200, 2400, 4800, "
                                         "9600, 14400, 19200, 38400, 57600, 115200"};
    }
    std::optional<int> timeout;
    if (parser_.isSet("timeout-ms")) {
        timeout = static_cast<int>(integerOption("timeout-ms", 1, 600000, 0));
    }
    timeoutOverride_ = timeout;

    session_ = std::make_unique<UnitSession>(line_);
    log_ = std::make_unique<TrafficLog>();
    log_->listenTo(*session_);
    if (parser_.isSet("trace")) {
        QObject::connect(session_.get(), &UnitSession::traffic, log_.get(),
                         [this](const TrafficEntry& entry) {
                             err_ << trafficLine(entry, log_->origin()).toStdString() << '\n';
                         });
    }
    session_->setFactoryNumber(static_cast<std::uint16_t>(unit_));
    session_->setLineSpeed(speedIndex);
    session_->setTimeoutOverride(timeout);
    session_->setPort(port_, port_);
}

void Cli::requireYes(const char* what) const {
    if (!parser_.isSet("yes")) {
        throw Failure{exitcode::Usage,
                      std::string(what) + " changes the unit: add --yes to go ahead"};
    }
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

void Cli::checkOutput(const QString& path, bool folder) const {
    if (path.isEmpty()) {
        return;
    }
    const std::string fault =
        folder ? outputFolderFault(path.toStdString()) : outputPathFault(path.toStdString());
    if (!fault.empty()) {
        throw Failure{exitcode::Invalid, "cannot write " + path.toStdString() + ": " + fault};
    }
}

QString Cli::archiveLocation() const {
    return parser_.isSet("archive") ? parser_.value("archive") : Archive::defaultLocation();
}

ArchiveReading Cli::reading(const char* kind) const {
    ArchiveReading reading;
    reading.unit = unit_;
    reading.kind = kind;
    return reading;
}

void Cli::archive(ArchiveReading reading) {
    if (!archive_) {
        archive_ = std::make_unique<ArchiveWriter>(archiveLocation());
    }
    archive_->store(std::move(reading));
}

void Cli::archiveNotWritten(const ArchiveProblem& problem) {
    if (!archiveProblem_) {
        archiveProblem_ = problem;
    }
}

// The run waits for its readings to be stored before it ends, and says once when the archive
// did not take them; the exit code stays the command's.
void Cli::finishArchive() {
    if (archive_) {
        archive_->waitUntilStored();
        if (const auto problem = archive_->firstProblem()) {
            archiveNotWritten(*problem);
        }
    }
    if (archiveProblem_) {
        err_ << "torl7-cli: the archive was not written: " << archiveProblem_->message.toStdString()
             << '\n';
    }
    archive_.reset();
}

int runCli(const QStringList& arguments, std::ostream& out, std::ostream& err) {
    Cli cli(out, err);
    return cli.run(arguments);
}

} // namespace torl7
