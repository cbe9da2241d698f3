// A substation's units: sweep finds them on a line, collect reads them all, set-clock-all and
// diff-all act on them all; the lines run side by side.
#include "command_table.hpp"
#include "interrupt_watch.hpp"
#include "shared_reads.hpp"

#include "documents/substation_file.hpp"
#include "documents/text_file.hpp"
#include "protocol/line_speed.hpp"
#include "records/reading_forms.hpp"
#include "records/substation_run.hpp"
#include "session/connection_doctor.hpp"
#include "session/operations/unit_sweep.hpp"
#include "session/port_line.hpp"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>

#include <iomanip>

namespace torl7 {

namespace {

// The units named with --only, each in the file; none named: all.
std::vector<int> onlyUnits(const Cli& cli, const Substation& substation) {
    std::vector<int> only;
    for (const QString& given : cli.options().values("only")) {
        const auto number = parseInteger(given.toStdString());
        if (!number || !substation.unit(static_cast<int>(*number))) {
            throw Failure{exitcode::Usage,
                          "--only " + given.toStdString() + ": no such unit in the file"};
        }
        only.push_back(static_cast<int>(*number));
    }
    return only;
}

const char* resultText(UnitOutcome::Result result) {
    switch (result) {
    case UnitOutcome::Result::Done:
        return "done";
    case UnitOutcome::Result::NoAnswer:
        return "no answer";
    case UnitOutcome::Result::Failed:
        return "failed";
    case UnitOutcome::Result::Cancelled:
        return "cancelled";
    }
    return "";
}

// Runs `job` over the substation's units, with progress on stderr; every unit's outcome, in
// the file's order. `unitEnded` hears each unit as it ends. Ctrl-C ends the run after the
// files being written; the units it did not finish are listed as cancelled.
std::vector<UnitOutcome> runOverUnits(Cli& cli, const Substation& substation,
                                      const std::vector<int>& only,
                                      const SubstationRun::JobMaker& job,
                                      std::function<void(const UnitOutcome&)> unitEnded = {}) {
    SubstationRun run([](const std::string&) { return std::make_unique<PortLine>(); });
    run.onUnit = std::move(unitEnded);
    run.onProgress = [&](const RunProgress& p) {
        const SubstationUnit* unit = substation.unit(p.number);
        const std::string title = unit ? Substation::title(*unit) : std::string();
        cli.err() << '[' << p.unitIndex << '/' << p.unitCount << "] №" << p.number
                  << (title.empty() ? "" : " " + title) << ": " << p.stepEnglish << '\n';
    };
    QEventLoop loop;
    std::optional<std::vector<UnitOutcome>> ended;
    run.onFinished = [&](const std::vector<UnitOutcome>& units) {
        ended = units;
        loop.quit();
    };
    const InterruptWatch interrupt([&] {
        cli.err() << "torl7-cli: interrupted; the files being written are finished first\n";
        run.cancel();
    });
    run.start(substation, only, job, cli.timeoutOverride());
    if (!ended) {
        loop.exec();
    }
    return *ended;
}

// The table of the units and how each ended; 0 when every one was done.
int summary(Cli& cli, const Substation& substation, const std::vector<UnitOutcome>& units,
            const std::function<std::string(const UnitOutcome&)>& doneDetail) {
    int done = 0;
    for (const UnitOutcome& u : units) {
        const SubstationUnit* unit = substation.unit(u.number);
        std::string detail = u.detail;
        if (u.result == UnitOutcome::Result::NoAnswer && u.diagnosis) {
            detail = noAnswerHint(*u.diagnosis, HintReader::Cli);
        } else if (u.result == UnitOutcome::Result::Done) {
            detail = doneDetail(u);
            ++done;
        }
        cli.out() << std::left << std::setw(6) << u.number << std::setw(8) << u.line
                  << std::setw(10) << resultText(u.result) << ' '
                  << (unit ? Substation::title(*unit) : std::string())
                  << (detail.empty() ? "" : " — " + detail) << '\n';
    }
    cli.err() << "torl7-cli: " << done << " of " << units.size() << " units done\n";
    return done == static_cast<int>(units.size()) ? exitcode::Done : exitcode::NoAnswer;
}

} // namespace

int sweepCommand(Cli& cli) {
    if (!cli.isSet("from") || !cli.isSet("to")) {
        throw Failure{exitcode::Usage, "sweep needs --from N and --to M"};
    }
    const auto from = cli.integerOption("from", kMinFactoryNumber, kMaxFactoryNumber, 0);
    const auto to = cli.integerOption("to", kMinFactoryNumber, kMaxFactoryNumber, 0);
    if (from > to) {
        throw Failure{exitcode::Usage, "--from must not be above --to"};
    }
    const QString addTo = cli.value("add");
    std::optional<Substation> substation;
    if (!addTo.isEmpty()) {
        // Checked before the line is swept: a file that does not read is not overwritten.
        substation = QFileInfo::exists(addTo) ? readSubstation(addTo) : Substation{};
        cli.checkOutput(addTo);
    }
    UnitSweep sweep(cli.session());
    sweep.onProgress([&](Progress p) {
        if (p.done % 10 == 0 || p.done == p.total) {
            cli.err() << "sweep: " << p.done << '/' << p.total << '\n';
        }
    });
    const std::vector<int> found = cli.result(
        sweep,
        [&] {
            sweep.start(static_cast<int>(from), static_cast<int>(to), cli.session().lineSpeed(),
                        cli.timeoutOverride());
        },
        "ping");
    for (const int number : found) {
        cli.out() << number << '\n';
    }
    cli.err() << "torl7-cli: " << found.size() << " unit(s) answered of " << (to - from + 1)
              << " numbers\n";
    if (substation) {
        const int added = addFoundUnits(*substation, cli.port().toStdString(),
                                        baudForIndex(cli.session().lineSpeed()), found);
        cli.writeOutput(addTo, writeSubstationFile(*substation));
        cli.err() << "torl7-cli: " << added << " unit(s) added to " << addTo.toStdString() << '\n';
    }
    return exitcode::Done;
}

int collectCommand(Cli& cli) {
    const QString path = cli.arguments().front();
    const Substation substation = readSubstation(path);
    const std::vector<int> only = onlyUnits(cli, substation);
    const QString out = cli.value("out");
    const std::string templatePath = reportTemplate(); // before any unit is asked anything
    cli.checkOutput(out, true);
    // Each unit's reading is kept as soon as it is read: a run stopped half-way keeps the
    // units it had read.
    const auto units = runOverUnits(cli, substation, only, collectJob(out, templatePath),
                                    [&](const UnitOutcome& u) {
                                        if (auto reading = collectReading(u, substation)) {
                                            cli.archive(std::move(*reading));
                                        }
                                    });
    return summary(cli, substation, units, [](const UnitOutcome& u) {
        return QDir::toNativeSeparators(u.folder).toStdString();
    });
}

int clockAllCommand(Cli& cli) {
    const Substation substation = readSubstation(cli.arguments().front());
    const auto units = runOverUnits(cli, substation, onlyUnits(cli, substation), clockJob());
    return summary(cli, substation, units, [](const UnitOutcome&) { return std::string(); });
}

int diffAllCommand(Cli& cli) {
    const QString path = cli.arguments().front();
    const Substation substation = readSubstation(path);
    const auto units = runOverUnits(cli, substation, onlyUnits(cli, substation),
                                    compareJob(QFileInfo(path).absolutePath()));
    return summary(cli, substation, units, [](const UnitOutcome& u) {
        std::string text = u.differences.empty() ? "as commissioned" : "";
        for (const FieldDifference& d : u.differences) {
            text += "\n      " + d.field + ": file " + d.expected + ", unit " + d.actual;
        }
        return text;
    });
}

} // namespace torl7
