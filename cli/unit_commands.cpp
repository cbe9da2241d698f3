#include "cli.hpp"

namespace torl7 {

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
