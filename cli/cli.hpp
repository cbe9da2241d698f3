// What every command of torl7-cli works with: the options given, the session of this run, the
// output streams, and the few steps the commands share (running an operation to its end and
// turning its failure into the command's, writing an output file). The commands themselves are
// in command files grouped by what they do to the unit, registered in command_table.cpp.
#pragma once

#include "commands.hpp"

#include "records/archive_writer.hpp"
#include "session/operations/operation.hpp"
#include "session/port_line.hpp"
#include "session/traffic_log.hpp"

#include <QCommandLineParser>

#include <memory>
#include <optional>
#include <string>

namespace torl7 {

QString q(std::string_view s);

// A failure that ends the command: its exit code and the one line said about it.
struct Failure {
    int code;
    std::string message;
    // The request went out and the line gave no answer in time: the line's hint follows.
    bool unanswered = false;
};

// The failure of an operation that ended with `error`; `what` names what was asked.
Failure failureOf(const SessionError& error, const std::string& what);

class Cli {
public:
    Cli(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    int run(const QStringList& arguments);

    // ---- What the command was given ----
    const QCommandLineParser& options() const { return parser_; }
    QString value(const QString& option) const { return parser_.value(option); }
    bool isSet(const QString& option) const { return parser_.isSet(option); }
    // The command's arguments after its name (their number is checked before it runs).
    QStringList arguments() const { return parser_.positionalArguments().mid(1); }
    int unit() const { return unit_; }
    const std::optional<int>& timeoutOverride() const { return timeoutOverride_; }
    const QString& port() const { return port_; }

    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }
    UnitSession& session() { return *session_; }

    // ---- Steps the commands share ----
    // Runs `operation` (started by `start`) to its end; its result, or the failure that ends
    // the command, `what` naming what was asked.
    template <typename Op, typename Start>
    typename Op::Result result(Op& operation, Start&& start, const std::string& what) {
        const auto outcome = runToEnd(operation, std::forward<Start>(start));
        if (!outcome) {
            throw failureOf(*outcome.error, what);
        }
        return *outcome.result;
    }
    // Writes `text` to `path` whole (or to standard output when `path` is empty).
    void writeOutput(const QString& path, const std::string& text);
    // Before the unit is asked anything: a path the output could not go to (a file, or with
    // `folder` a folder to write into) is refused first.
    void checkOutput(const QString& path, bool folder = false) const;
    // A number option within `min`..`max`; `fallback` when it is not given.
    std::int64_t integerOption(const QString& name, std::int64_t min, std::int64_t max,
                               std::int64_t fallback) const;
    // A command that changes the unit goes ahead only with --yes.
    void requireYes(const char* what) const;

    // ---- The archive ----
    // Where readings are kept: --archive, else TORL7_ARCHIVE, else the default file.
    QString archiveLocation() const;
    // A reading of this run's unit, made now.
    ArchiveReading reading(const char* kind) const;
    // Hands the reading to the archive; the command goes on at once. A reading the archive
    // does not take fails nothing: the run says once, at its end, that the archive was not
    // written.
    void archive(ArchiveReading reading);
    void archiveNotWritten(const ArchiveProblem& problem);

private:
    int fail(const Failure& failure);
    void setUpSession(bool needsPort);
    void finishArchive();

    std::ostream& out_;
    std::ostream& err_;
    QCommandLineParser parser_;
    PortLine line_;
    std::unique_ptr<UnitSession> session_;
    std::unique_ptr<TrafficLog> log_;
    QString port_;
    int unit_ = 600;
    std::optional<int> timeoutOverride_;
    std::unique_ptr<ArchiveWriter> archive_;
    std::optional<ArchiveProblem> archiveProblem_;
};

} // namespace torl7
