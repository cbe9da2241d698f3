// The unit's line and live values: search, snapshot, monitor, waveforms; and the one-request
// commands: set-clock, reset-protection, version.
#include "command_table.hpp"
#include "shared_reads.hpp"

#include "documents/file_output.hpp"
#include "documents/json_output.hpp"
#include "protocol/line_speed.hpp"
#include "protocol/lost_acknowledgement.hpp"
#include "protocol/poll_sequence.hpp"
#include "session/operations/diag_poll.hpp"
#include "session/operations/unit_commands.hpp"
#include "session/operations/unit_search.hpp"

#include <QDateTime>

#include <map>

namespace torl7 {

namespace {

LocalDateTime localOf(const QDateTime& at) {
    return {at.date().year(), at.date().month(),  at.date().day(),
            at.time().hour(), at.time().minute(), at.time().second()};
}

// A clock correction or reset whose acknowledgement did not come: what the snapshot read
// after it shows, on standard error, before the "no answer" failure.
template <typename Say>
void sayAfterLostAcknowledgement(Cli& cli, const Outcome<Acknowledged>& outcome,
                                 const std::string& what, Say say) {
    if (!outcome.result) {
        throw failureOf(*outcome.error, what);
    }
    const auto& snapshot = outcome.result->snapshotAfterLoss;
    cli.err() << "torl7-cli: the acknowledgement of the " << what << " did not come; "
              << (snapshot ? say(*snapshot)
                           : std::string("the unit did not answer a status snapshot either: "
                                         "whether it was done is unknown"))
              << '\n';
    throw Failure{exitcode::NoAnswer, "the unit did not confirm the " + what};
}

} // namespace

int searchCommand(Cli& cli) {
    // The search dialog's search: two pings per speed, slowest first, each waiting the ping
    // wait of its speed (or --timeout-ms) for the answer.
    cli.session().setLineSpeed(0);
    UnitSearch search(cli.session());
    const SearchResult found = cli.result(
        search,
        [&] {
            search.start(static_cast<std::uint16_t>(cli.unit()), cli.session().timeoutOverride());
        },
        "ping");
    if (!found.found) {
        throw Failure{exitcode::NoAnswer,
                      "no unit " + std::to_string(cli.unit()) + " answered at any speed"};
    }
    cli.out() << baudForIndex(found.speedIndex) << '\n';
    return exitcode::Done;
}

int snapshotCommand(Cli& cli) {
    SnapshotRead read(cli.session());
    cli.out() << snapshotJson(cli.result(
                                  read, [&] { read.start(); }, "status snapshot"),
                              cli.unit());
    return exitcode::Done;
}

int monitorCommand(Cli& cli) {
    const auto count = cli.integerOption("count", 0, std::numeric_limits<std::int32_t>::max(), 0);
    DiagPoll poll(cli.session());
    std::int64_t shown = 0;
    QObject::connect(&poll, &DiagPoll::snapshotReceived, &poll, [&](const Snapshot& snapshot) {
        if (count != 0 && ++shown >= count) {
            poll.stop(); // before the next request goes out
        }
        cli.out() << snapshotJson(snapshot, cli.unit(), JsonLayout::OneLine);
        cli.out().flush();
    });
    // An unanswered request (a frame lost or corrupted on the way) is asked again, as the
    // window's watchdog does; the same run of misses ends it.
    const auto outcome = runToEnd(poll, [&] {
        poll.start(0, DiagPoll::Pace::AnswerTimeout, kSnapshotSelector, DiagPoll::kMaxMisses);
    });
    const PollSummary summary = outcome.result.value_or(PollSummary{});
    cli.err() << "torl7-cli: " << summary.snapshots << " snapshots, " << summary.misses
              << " requests unanswered\n";
    if (!outcome) {
        throw failureOf(*outcome.error, "status snapshot");
    }
    return exitcode::Done;
}

int waveformsCommand(Cli& cli) {
    const auto phases = cli.integerOption("phases", 1, kMaxViewIndex, kMaxViewIndex);
    const QString comtradeBase = cli.value("comtrade");
    const QString csvPath = cli.value("csv");
    const std::map<QString, ComtradeFormat> formats = {{"ascii", ComtradeFormat::Ascii1999},
                                                       {"binary", ComtradeFormat::Binary1999},
                                                       {"2013", ComtradeFormat::Cff2013}};
    const auto format = formats.find(cli.value("comtrade-format"));
    if (format == formats.end()) {
        throw Failure{exitcode::Usage, "--comtrade-format must be ascii, binary or 2013"};
    }
    const bool toFiles = !comtradeBase.isEmpty() || !csvPath.isEmpty();
    const double rate = toFiles ? sampleRate(cli, "--comtrade and --csv") : 0;
    const bool single = format->second == ComtradeFormat::Cff2013;
    if (!comtradeBase.isEmpty()) {
        for (const char* suffix : single ? std::vector{".cff"} : std::vector{".cfg", ".dat"}) {
            cli.checkOutput(comtradeBase + suffix);
        }
    }
    cli.checkOutput(csvPath);
    // The station name of the files is the installation text of the configuration.
    const std::string station =
        toFiles ? withoutPadding(unitTextFrom16(readRecord(cli).installation)) : std::string();
    std::vector<PhaseSamples> blocks;
    WaveformExport record = readWaveforms(cli, static_cast<int>(phases), &blocks);
    cli.out() << waveformsJson(cli.unit(), blocks);
    record.station = station;
    record.deviceId = std::to_string(cli.unit());
    record.sampleRate = rate;
    if (!comtradeBase.isEmpty()) {
        const ComtradeFiles files = comtradeFiles(record, format->second);
        if (single) {
            cli.writeOutput(comtradeBase + ".cff", files.cff);
        } else {
            // Replaced as a pair: never a new configuration beside old data.
            FileSetWriter pair;
            std::string error;
            if (!pair.stage((comtradeBase + ".cfg").toStdString(), files.cfg, error) ||
                !pair.stage((comtradeBase + ".dat").toStdString(), files.dat, error) ||
                !pair.commit(error)) {
                throw Failure{exitcode::Invalid,
                              "cannot write " + comtradeBase.toStdString() + ".cfg/.dat: " + error};
            }
        }
    }
    if (!csvPath.isEmpty()) {
        cli.writeOutput(csvPath, waveformCsv(record));
    }
    return exitcode::Done;
}

int setClockCommand(Cli& cli) {
    const auto calibration =
        cli.integerOption("calibration", -kMaxClockCalibration, kMaxClockCalibration, 0);
    const QDateTime now = QDateTime::currentDateTime();
    ClockCorrectionCommand correction(cli.session());
    const auto outcome = runToEnd(correction, [&] {
        correction.start(localOf(now), ClockPanel{static_cast<int>(calibration), cli.isSet("stop"),
                                                  cli.isSet("auto-dst")});
    });
    if (!outcome) {
        sayAfterLostAcknowledgement(cli, outcome, "clock correction", [](const Snapshot& s) {
            const LocalDateTime pcNow = localOf(QDateTime::currentDateTime());
            switch (clockAfterCorrection(s.clock, pcNow)) {
            case ClockFinding::ShowsPcTime:
                return std::string("the unit's clock shows this computer's time: it was set");
            case ClockFinding::Differs:
                return "the unit's clock is " +
                       std::to_string(*clockOffsetSeconds(s.clock, pcNow)) +
                       " s off this computer's time: it was not set";
            case ClockFinding::NoDate:
                return std::string("the unit's clock shows no date: whether it was set is "
                                   "unknown");
            }
            return std::string();
        });
    }
    cli.out() << "clock set to " << now.toString("dd.MM.yyyy HH:mm:ss").toStdString() << '\n';
    return exitcode::Done;
}

int resetProtectionCommand(Cli& cli) {
    ProtectionResetCommand reset(cli.session());
    const auto outcome = runToEnd(reset, [&] { reset.start(); });
    if (!outcome) {
        sayAfterLostAcknowledgement(cli, outcome, "protection reset", [](const Snapshot& s) {
            return protectionClear(s)
                       ? std::string("no protection shows as tripped: it was reset")
                       : std::string("a protection still shows as tripped: it was not reset");
        });
    }
    cli.out() << "protection reset\n";
    return exitcode::Done;
}

int versionCommand(Cli& cli) {
    VersionRead version(cli.session());
    // Without the blanks and zero bytes that fill the 16 positions, so scripts compare texts.
    cli.out() << withoutPadding(cli.result(
                     version, [&] { version.start(); }, "firmware version"))
              << '\n';
    return exitcode::Done;
}

} // namespace torl7
