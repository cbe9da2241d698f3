#include "cli.hpp"

#include "session/operations/diag_poll.hpp"
#include "session/operations/unit_search.hpp"

#include <QEventLoop>

namespace torl7 {

int Cli::search() {
    // The search dialog's search: two pings per speed, slowest first, each waiting the ping
    // wait of its speed (or --timeout-ms) for the answer.
    setSpeed(0);
    openPort();
    UnitSearch search(*session_);
    std::optional<bool> found;
    QObject::connect(&search, &UnitSearch::finished, &search, [&](bool f) { found = f; });
    search.start(static_cast<std::uint16_t>(unit_), session_->timeoutOverride());
    QEventLoop loop;
    while (!found) {
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (!*found) {
        throw Failure{exitcode::NoAnswer,
                      "no unit " + std::to_string(unit_) + " answered at any speed"};
    }
    out_ << baudForIndex(search.speedIndex()) << '\n';
    return exitcode::Done;
}

namespace {

// Runs the window's diagnostics poll with a response timeout on each request, from
// `firstSelector`, until a report handler stops it; a request left unanswered ends it with
// the "no answer" failure.
void runPoll(DiagPoll& poll, int view, std::uint8_t firstSelector, const char* what) {
    std::optional<SessionError> error;
    QObject::connect(&poll, &DiagPoll::failed, &poll, [&](const SessionError& e) { error = e; });
    poll.start(view, DiagPoll::Pace::ResponseTimeout, firstSelector);
    QEventLoop loop;
    while (poll.running()) {
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (error) {
        throw noAnswerFailure(error, what);
    }
}

} // namespace

WaveformExport Cli::readWaveforms(int view, std::vector<PhaseSamples>* blocks,
                                  std::optional<Snapshot>* snapshot) {
    DiagPoll poll(*session_);
    WaveformExport record;
    if (snapshot) {
        QObject::connect(&poll, &DiagPoll::snapshotReceived, &poll,
                         [snapshot](const Snapshot& s) { *snapshot = s; });
    }
    QObject::connect(&poll, &DiagPoll::waveformsReady, &poll, [&](const WaveformSamples& s) {
        poll.stop();
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        setArrival(record, static_cast<std::time_t>(now / 1000),
                   static_cast<int>(now % 1000) * 1000);
        record.samples = s;
        record.phases = phasesOfBlocks(poll.blockSelectors(), poll.blockCount());
        for (int i = 0; blocks && i < poll.blockCount(); ++i) {
            const std::uint8_t selector = poll.blockSelectors()[static_cast<std::size_t>(i)];
            const auto phase = static_cast<std::size_t>((selector & 3) - 1);
            PhaseSamples block{selector, {}};
            block.block.selector = selector;
            for (std::size_t k = 0; k < kWaveformSamples; ++k) {
                block.block.voltage[k] = static_cast<std::uint8_t>(s.voltage[phase][k]);
                block.block.current[k] = static_cast<std::uint8_t>(s.current[phase][k]);
            }
            blocks->push_back(block);
        }
    });
    // Straight to the blocks, unless the snapshot of the same moment is wanted too.
    runPoll(poll, view, snapshot ? kSnapshotSelector : selectorAfterSnapshot(view), "waveform");
    return record;
}

int Cli::snapshot() {
    openPort();
    DiagPoll poll(*session_);
    QObject::connect(&poll, &DiagPoll::snapshotReceived, &poll, [&](const Snapshot& snapshot) {
        poll.stop();
        out_ << snapshotJson(snapshot, unit_);
    });
    runPoll(poll, 0, kSnapshotSelector, "status snapshot");
    return exitcode::Done;
}

int Cli::monitor(QCommandLineParser& parser) {
    const auto count = parseInteger(parser.value("count").toStdString());
    if (!count || *count < 0) {
        throw Failure{exitcode::Invalid, "--count must be a whole number, 0 or more"};
    }
    openPort();
    DiagPoll poll(*session_);
    std::int64_t shown = 0;
    QObject::connect(&poll, &DiagPoll::snapshotReceived, &poll, [&](const Snapshot& snapshot) {
        if (*count != 0 && ++shown >= *count) {
            poll.stop(); // before the next request goes out
        }
        out_ << snapshotJson(snapshot, unit_, JsonLayout::OneLine);
        out_.flush();
    });
    runPoll(poll, 0, kSnapshotSelector, "status snapshot");
    return exitcode::Done;
}

int Cli::waveforms(QCommandLineParser& parser) {
    const auto phases = parseInteger(parser.value("phases").toStdString());
    if (!phases || *phases < 1 || *phases > kMaxViewIndex) {
        throw Failure{exitcode::Invalid, "--phases must be 1, 2 or 3"};
    }
    const QString comtradeBase = parser.value("comtrade");
    const QString csvPath = parser.value("csv");
    const std::map<QString, ComtradeFormat> formats = {{"ascii", ComtradeFormat::Ascii1999},
                                                       {"binary", ComtradeFormat::Binary1999},
                                                       {"2013", ComtradeFormat::Cff2013}};
    const auto format = formats.find(parser.value("comtrade-format"));
    if (format == formats.end()) {
        throw Failure{exitcode::Usage, "--comtrade-format must be ascii, binary or 2013"};
    }
    const bool toFiles = !comtradeBase.isEmpty() || !csvPath.isEmpty();
    const double rate = toFiles ? sampleRate(parser, "--comtrade and --csv") : 0;
    openPort();
    // The station name of the files is the installation text of the configuration.
    const std::string station =
        toFiles ? trimmedRight(unitTextFrom16(readRecord().installation)) : std::string();
    std::vector<PhaseSamples> blocks;
    WaveformExport record = readWaveforms(static_cast<int>(*phases), &blocks);
    out_ << waveformsJson(unit_, blocks);
    record.station = station;
    record.deviceId = std::to_string(unit_);
    record.sampleRate = rate;
    if (!comtradeBase.isEmpty()) {
        const ComtradeFiles files = comtradeFiles(record, format->second);
        if (!files.cff.empty()) {
            writeOutput(comtradeBase + ".cff", files.cff);
        } else {
            writeOutput(comtradeBase + ".cfg", files.cfg);
            writeOutput(comtradeBase + ".dat", files.dat);
        }
    }
    if (!csvPath.isEmpty()) {
        writeOutput(csvPath, waveformCsv(record));
    }
    return exitcode::Done;
}

double Cli::sampleRate(QCommandLineParser& parser, const char* forWhat) {
    if (!parser.isSet("rate")) {
        throw Failure{exitcode::Usage,
                      std::string(forWhat) +
                          " need --rate HZ: the unit does not say its sample rate"};
    }
    const auto rate = parseSampleRate(parser.value("rate").toStdString());
    if (!rate) {
        throw Failure{exitcode::Invalid, "--rate must be a number of samples a second above 0"};
    }
    return *rate;
}

int Cli::setClock(QCommandLineParser& parser) {
    const auto calibration = parseInteger(parser.value("calibration").toStdString());
    if (!calibration || *calibration < -kMaxClockCalibration ||
        *calibration > kMaxClockCalibration) {
        throw Failure{exitcode::Invalid, "--calibration must be a whole number from -31 to 31"};
    }
    openPort();
    const QDateTime now = QDateTime::currentDateTime();
    const LocalDateTime local{now.date().year(), now.date().month(),  now.date().day(),
                              now.time().hour(), now.time().minute(), now.time().second()};
    valueOf(runToEnd<Acknowledged>([&](auto done) {
                correctClock(*session_, local, static_cast<int>(*calibration), parser.isSet("stop"),
                             parser.isSet("auto-dst"), std::move(done));
            }),
            "clock correction");
    out_ << "clock set to " << now.toString("dd.MM.yyyy HH:mm:ss").toStdString() << '\n';
    return exitcode::Done;
}

int Cli::resetProtection() {
    openPort();
    valueOf(runToEnd<Acknowledged>(
                [&](auto done) { torl7::resetProtection(*session_, std::move(done)); }),
            "protection reset");
    out_ << "protection reset\n";
    return exitcode::Done;
}

int Cli::version() {
    openPort();
    const std::string text =
        valueOf(runToEnd<std::string>([&](auto done) { readVersion(*session_, std::move(done)); }),
                "firmware version");
    // Without the blanks and zero bytes that fill the 16 positions, so scripts compare texts.
    out_ << trimmedRight(text) << '\n';
    return exitcode::Done;
}

} // namespace torl7
