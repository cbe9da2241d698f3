// The archive's questions: timeline, history, changes. They read the archive only and talk to
// no unit.
#include "command_table.hpp"
#include "shared_reads.hpp"

#include "documents/events_csv.hpp"
#include "documents/json_output.hpp"
#include "records/archive.hpp"
#include "records/timeline_rows.hpp"

#include <iomanip>

namespace torl7 {

namespace {

std::unique_ptr<Archive> openForQuestions(const Cli& cli) {
    auto opened = Archive::open(cli.archiveLocation(), Archive::Access::ReadOnly);
    if (auto* problem = std::get_if<ArchiveProblem>(&opened)) {
        throw Failure{exitcode::Invalid, problem->message.toStdString()};
    }
    return std::move(std::get<std::unique_ptr<Archive>>(opened));
}

// Runs a question; a statement that fails ends the command with the archive's words.
template <typename F> auto ask(F&& question) {
    try {
        return question();
    } catch (const ArchiveError& error) {
        throw Failure{exitcode::Invalid, error.problem.message.toStdString()};
    }
}

std::optional<QDateTime> dateOption(const Cli& cli, const char* name, bool endOfDay) {
    if (!cli.isSet(name)) {
        return std::nullopt;
    }
    const auto date = parseArchiveDate(cli.value(name), endOfDay);
    if (!date) {
        throw Failure{exitcode::Usage, std::string("--") + name +
                                           " must be a date YYYY-MM-DD or YYYY-MM-DD HH:MM[:SS]"};
    }
    return date;
}

std::string unitClock(const QDateTime& moment) {
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

std::string differenceLine(const FieldDifference& d) {
    return d.field + ": " + d.expected + " -> " + d.actual;
}

// The settings kept with a reading of `unit`, as a settings file.
int settingsOfReading(Cli& cli, Archive& archive, int unit) {
    const auto reading = parseInteger(cli.value("settings").toStdString());
    if (!reading || *reading < 1) {
        throw Failure{exitcode::Usage, "--settings must be a reading's number (from history)"};
    }
    cli.checkOutput(cli.value("output"));
    const auto settings = ask([&] { return archive.settingsAt(*reading); });
    if (!settings || settings->first != unit) {
        throw Failure{exitcode::Invalid, "the archive holds no settings of unit " +
                                             std::to_string(unit) + " at reading " +
                                             std::to_string(*reading)};
    }
    SettingsProvenance origin;
    origin.unit = unit;
    origin.toolVersion = std::string(toolVersion());
    cli.writeOutput(cli.value("output"), writeSettingsFile(asPageHolds(settings->second), origin));
    return exitcode::Done;
}

} // namespace

int timelineCommand(Cli& cli) {
    const QString format = cli.value("format");
    if (format != "csv" && format != "json") {
        throw Failure{exitcode::Usage, "--format must be csv or json"};
    }
    TimelineFilter filter;
    if (const auto from = dateOption(cli, "from", false)) {
        filter.from = unitClock(*from);
    }
    if (const auto to = dateOption(cli, "to", true)) {
        filter.until = unitClock(*to);
    }
    for (const QString& given : cli.options().values("unit")) {
        const auto number = parseInteger(given.toStdString());
        if (!number || *number < kMinFactoryNumber || *number > kMaxFactoryNumber) {
            throw Failure{exitcode::Usage,
                          "--unit " + given.toStdString() + ": a factory number from 100 to 65535"};
        }
        filter.units.push_back(static_cast<int>(*number));
    }
    std::optional<Substation> substation;
    if (cli.isSet("substation")) {
        substation = readSubstation(cli.value("substation"));
    }
    const auto archive = openForQuestions(cli);
    const std::vector<TimelineEvent> events = ask([&] { return archive->timeline(filter); });
    const std::vector<UnitEventRow> rows =
        timelineRows(events, [&](int unit) -> std::optional<std::string> {
            const SubstationUnit* named = substation ? substation->unit(unit) : nullptr;
            return named ? std::optional(Substation::title(*named)) : std::nullopt;
        });
    cli.out() << (format == "csv" ? unitEventsCsv(rows) : unitEventsJson(rows));
    return exitcode::Done;
}

int historyCommand(Cli& cli) {
    const auto unit = parseInteger(cli.arguments().front().toStdString());
    if (!unit || *unit < kMinFactoryNumber || *unit > kMaxFactoryNumber) {
        throw Failure{exitcode::Usage, "UNIT must be a factory number from 100 to 65535"};
    }
    const auto archive = openForQuestions(cli);
    if (cli.isSet("settings")) {
        return settingsOfReading(cli, *archive, static_cast<int>(*unit));
    }
    const auto entries = ask([&] { return archive->history(static_cast<int>(*unit)); });
    if (entries.empty()) {
        cli.err() << "torl7-cli: the archive holds no reading of unit " << *unit << '\n';
    }
    for (const HistoryEntry& e : entries) {
        cli.out() << '#' << std::left << std::setw(6) << e.reading << unitClock(e.readAt) << "  "
                  << std::setw(16) << e.kind << ' ' << e.result;
        if (!e.firmware.empty()) {
            cli.out() << "  firmware " << e.firmware;
        }
        if (!e.osUser.empty() || !e.host.empty()) {
            cli.out() << "  by " << e.osUser << '@' << e.host;
        }
        if (e.newEvents > 0) {
            cli.out() << "  " << e.newEvents << " new event(s)";
        }
        cli.out() << '\n';
        if (e.write) {
            if (e.write->asFoundReading) {
                cli.out() << "    settings found before: reading " << *e.write->asFoundReading
                          << '\n';
            }
            for (const FieldDifference& d : e.write->changed) {
                cli.out() << "    written: " << differenceLine(d) << '\n';
            }
            for (const FieldDifference& d : e.write->notTaken) {
                cli.out() << "    not taken: " << d.field << ": sent " << d.expected
                          << ", the unit holds " << d.actual << '\n';
            }
        }
        for (const FieldDifference& d : e.changes) {
            cli.out() << "    changed: " << differenceLine(d) << '\n';
        }
    }
    return exitcode::Done;
}

int changesCommand(Cli& cli) {
    const auto since = dateOption(cli, "since", false);
    if (!since) {
        throw Failure{exitcode::Usage, "changes needs --since DATE"};
    }
    const auto archive = openForQuestions(cli);
    for (const SettingsChange& c : ask([&] { return archive->changesSince(*since); })) {
        const std::string title = unitTitle(c.unit, c.names);
        cli.out() << c.unit << (title.empty() ? "" : " " + title) << ": " << unitClock(c.readAt)
                  << " against " << unitClock(c.previousReadAt) << '\n';
        for (const FieldDifference& d : c.differences) {
            cli.out() << "    " << differenceLine(d) << '\n';
        }
    }
    return exitcode::Done;
}

} // namespace torl7
