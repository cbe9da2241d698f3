// How fast the diagnostics poll runs against the simulated unit, and what it costs the tool.
// The unit runs as its own process (torl7-sim --wire-time), so that the tool's CPU time is
// the tool's alone, and the line takes the real time of every byte at 115200 baud.
//
//   diag_poll_bench [SECONDS] [--hidden]   (default 10 s for each run)
//   diag_poll_bench [SECONDS] --network [--chardelay]
//
// Run 0, a bare client: the same snapshot request written and its answer read on the raw
// pseudo-terminal, as fast as the simulated unit and the kernel allow. This is the ceiling
// any client can reach on this machine at this moment.
// Run 1, snapshots only ("нет"): cycles per second against the wire limit of a snapshot
// exchange: 9 request bytes and 63 answer bytes, 720 bits, 6.25 ms, 160 cycles a second.
// Run 2, all three phases with the chart drawn on a shown window: the tool's CPU time
// (getrusage, user + system) as a share of one core over the run's wall time.
// Run 1 again with the "Обмен" window open, its table following the log.
// Run 2 again with the analysis off and on ("Анализ" under the chart): the drawing rate with it
// as a share of the rate without it (target at least 95 %), and the change in CPU (target at
// most 2 points).
// --hidden keeps the window hidden, which leaves out the painting.
// --network: the snapshot-only poll on the pseudo-terminal, then through ser2net in front of
// the same pseudo-terminal on loopback, raw TCP and RFC 2217, each rate as a share of the
// pseudo-terminal's (target >= 95 %). ser2net sends what it read at once unless --chardelay
// (its default: it waits two characters' time, at least 1 ms, for more).
#include "gui/dialogs/traffic_dialog.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/diag_page.hpp"
#include "protocol/frame.hpp"
#include "session/port_line.hpp"
#include "session/port_probe.hpp"
#include "support/ser2net.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineSeries>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace torl7;
using torl7::test::Ser2net;

namespace {

constexpr double kWireCyclesPerSecond = 115200.0 / (10.0 * (9 + 63));

// A benchmark has nobody to click a box: say what it was and go on.
class PrintedBoxes final : public MessageBoxes {
public:
    void error(const QString& text, const QString& caption, QWidget* = nullptr) override {
        print(text, caption);
    }
    void information(const QString& text, const QString& caption, QWidget* = nullptr) override {
        print(text, caption);
    }
    Answer question(const QString& text, const QString& caption, QWidget* = nullptr) override {
        print(text, caption);
        return Answer::No;
    }
    void conversionError(const QString& text) override { print(text, QString()); }
    bool noAnswer(const QString& text, const QString& caption, const QString& detail, bool,
                  QWidget* = nullptr) override {
        print(text + ' ' + detail, caption);
        return false;
    }
    int shown = 0;

private:
    void print(const QString& text, const QString& caption) {
        ++shown;
        std::fprintf(stderr, "box [%s]: %s\n", qPrintable(caption), qPrintable(text));
    }
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void runEventLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The median of the recorded cycle times, in milliseconds.
double medianMs(std::vector<double> cyclesMs) {
    if (cyclesMs.empty()) {
        return 0;
    }
    std::nth_element(cyclesMs.begin(), cyclesMs.begin() + static_cast<long>(cyclesMs.size() / 2),
                     cyclesMs.end());
    return cyclesMs[cyclesMs.size() / 2];
}

struct Rates {
    double perSecond = 0; // cycles over the whole run, every hiccup of the machine included
    double medianCycleMs = 0;
};

// Snapshot exchanges of a client that does nothing but write and read.
Rates bareClient(const QString& port, int ms) {
    const int fd = ::open(port.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        return {};
    }
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(fd, TCSANOW, &tio);
    const Bytes request = buildFrame(600, 1, Bytes{0});
    const std::size_t answerSize = 8 + 55;
    std::vector<double> cyclesMs;
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < ms) {
        const qint64 cycleStart = wall.nsecsElapsed();
        if (::write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
            break;
        }
        std::size_t got = 0;
        std::uint8_t buffer[256];
        while (got < answerSize) {
            pollfd in{fd, POLLIN, 0};
            if (::poll(&in, 1, 1000) <= 0) {
                break;
            }
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        if (got < answerSize) {
            break;
        }
        cyclesMs.push_back(static_cast<double>(wall.nsecsElapsed() - cycleStart) / 1e6);
    }
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    ::close(fd);
    return {static_cast<double>(cyclesMs.size()) / seconds, medianMs(cyclesMs)};
}

struct Run {
    double seconds = 0;
    long answers = 0;
    long drawings = 0;
    double cpuSeconds = 0;
    double medianCycleMs = 0; // from one answer's arrival to the next
};

// Polls with the view list at `view` for `ms` after a second of warm-up.
Run poll(MainWindow& window, SerialLine& line, int view, int ms) {
    DiagPage& page = *window.TabSheet2;
    page.cmb_m->setCurrentIndex(view);
    long drawings = 0;
    const auto drawn =
        QObject::connect(page.Series3, &QXYSeries::pointsReplaced, [&drawings] { ++drawings; });
    QElapsedTimer wall;
    wall.start();
    std::vector<double> cyclesMs;
    qint64 lastArrival = -1;
    bool measuring = false;
    // The unit writes each answer at once, so one arrival is one answer.
    const auto arrived = QObject::connect(&line, &SerialLine::readyRead, [&] {
        const qint64 now = wall.nsecsElapsed();
        if (measuring && lastArrival >= 0) {
            cyclesMs.push_back(static_cast<double>(now - lastArrival) / 1e6);
        }
        lastArrival = now;
    });
    page.diagnos->click();
    runEventLoopFor(1000);
    measuring = true;

    Run run;
    const long answersBefore = page.st_rxd->text().toLong();
    const long drawingsBefore = drawings;
    const double cpuBefore = cpuSeconds();
    const qint64 start = wall.nsecsElapsed();
    runEventLoopFor(ms);
    run.seconds = static_cast<double>(wall.nsecsElapsed() - start) / 1e9;
    run.cpuSeconds = cpuSeconds() - cpuBefore;
    run.answers = page.st_rxd->text().toLong() - answersBefore;
    run.drawings = drawings - drawingsBefore;
    run.medianCycleMs = medianMs(cyclesMs);

    page.diagnos->click();
    QObject::disconnect(drawn);
    QObject::disconnect(arrived);
    runEventLoopFor(200);
    return run;
}

// The snapshot-only poll on the pseudo-terminal and through ser2net in front of it.
int networkRuns(const QString& pty, int seconds, bool hidden, bool chardelay) {
    Ser2net server;
    if (!Ser2net::installed() || !server.start(pty, 115200, chardelay)) {
        std::fprintf(stderr, "ser2net did not start: %s\n", qPrintable(server.error()));
        return 1;
    }
    PortLine line;
    PrintedBoxes boxes;
    MainWindow window(line, boxes, portList({pty, server.raw(), server.rfc2217()}, false));
    if (!hidden) {
        window.show();
    }
    double ptyRate = 0;
    for (int index = 0; index < 3; ++index) {
        window.TabSheet2->cmbPorts->setCurrentIndex(index);
        window.cmbPortsChange();
        const Run run = poll(window, line, 0, seconds * 1000);
        const double rate = run.answers / run.seconds;
        ptyRate = index == 0 ? rate : ptyRate;
        std::printf("snapshot-only poll %s: %.1f cycles/s over %.1f s; median cycle %.3f ms",
                    index == 0   ? "on the pseudo-terminal"
                    : index == 1 ? "through ser2net, raw TCP"
                                 : "through ser2net, RFC 2217",
                    rate, run.seconds, run.medianCycleMs);
        if (index > 0) {
            std::printf(" (%.1f %% of the pseudo-terminal's; target >= 95 %%)",
                        100.0 * rate / ptyRate);
        }
        std::printf("\n");
        // ser2net frees the serial side a moment after the last client has gone.
        window.session().closePort();
        runEventLoopFor(300);
    }
    return boxes.shown == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    int seconds = 10;
    bool hidden = false;
    bool network = false;
    bool chardelay = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--hidden") {
            hidden = true;
        } else if (std::string(argv[i]) == "--network") {
            network = true;
        } else if (std::string(argv[i]) == "--chardelay") {
            chardelay = true;
        } else {
            seconds = std::atoi(argv[i]);
        }
    }
    if (seconds <= 0) {
        std::fprintf(stderr,
                     "usage: diag_poll_bench [SECONDS] [--hidden] [--network [--chardelay]]\n");
        return 2;
    }

    QProcess unit;
    unit.start(QStringLiteral(TORL7_SIM_PROGRAM), {QStringLiteral("--wire-time")});
    if (!unit.waitForStarted(5000) || !unit.waitForReadyRead(5000)) {
        std::fprintf(stderr, "torl7-sim did not start\n");
        return 1;
    }
    const QString port = QString::fromLocal8Bit(unit.readLine()).trimmed();
    if (network) {
        const int code = networkRuns(port, seconds, hidden, chardelay);
        unit.terminate();
        unit.waitForFinished(5000);
        return code;
    }

    const auto share = [](double perSecond) { return 100.0 * perSecond / kWireCyclesPerSecond; };
    const Rates bare = bareClient(port, seconds * 1000);
    std::printf("bare client on the same line: %.1f cycles/s (%.1f %% of the wire limit of "
                "%.0f/s); median cycle %.3f ms (%.1f %%)\n",
                bare.perSecond, share(bare.perSecond), kWireCyclesPerSecond, bare.medianCycleMs,
                share(1000.0 / bare.medianCycleMs));

    PortLine line;
    PrintedBoxes boxes;
    MainWindow window(line, boxes, portList({port}, false));
    if (!hidden) {
        window.show();
    }

    const Run snapshots = poll(window, line, 0, seconds * 1000);
    const double rate = snapshots.answers / snapshots.seconds;
    std::printf("snapshot-only poll: %.1f cycles/s over %.1f s (%.1f %% of the wire limit; "
                "target >= 97 %%); median cycle %.3f ms (%.1f %%); tool CPU %.1f %% of one core\n",
                rate, snapshots.seconds, share(rate), snapshots.medianCycleMs,
                share(1000.0 / snapshots.medianCycleMs),
                100.0 * snapshots.cpuSeconds / snapshots.seconds);

    // The same poll with the "Обмен" window open: it takes the new frames on its own timer,
    // so the poll's rate and CPU should not move.
    window.trafficDialog()->show();
    const Run withView = poll(window, line, 0, seconds * 1000);
    const double rateWithView = withView.answers / withView.seconds;
    std::printf("snapshot-only poll with the \"Обмен\" window open: %.1f cycles/s over %.1f s "
                "(%.1f %% of the rate without it; target >= 98 %%); median cycle %.3f ms; tool "
                "CPU %.1f %% of one core (%+.1f points)\n",
                rateWithView, withView.seconds, 100.0 * rateWithView / rate, withView.medianCycleMs,
                100.0 * withView.cpuSeconds / withView.seconds,
                100.0 * (withView.cpuSeconds / withView.seconds -
                         snapshots.cpuSeconds / snapshots.seconds));
    window.trafficDialog()->hide();

    const Run phases = poll(window, line, 3, seconds * 1000);
    std::printf("three phases with the chart: %.1f answers/s, %.1f drawings/s over %.1f s; "
                "tool CPU %.1f %% of one core (target <= 10 %%)\n",
                phases.answers / phases.seconds, phases.drawings / phases.seconds, phases.seconds,
                100.0 * phases.cpuSeconds / phases.seconds);

    // The same poll with the analysis of each drawing and without it.
    window.TabSheet2->cb_analysis->setChecked(false);
    const Run plain = poll(window, line, 3, seconds * 1000);
    window.TabSheet2->cb_analysis->setChecked(true);
    const Run analysed = poll(window, line, 3, seconds * 1000);
    const double plainRate = plain.drawings / plain.seconds;
    const double analysedRate = analysed.drawings / analysed.seconds;
    std::printf("three phases, analysis off: %.1f drawings/s, tool CPU %.1f %%; on: %.1f "
                "drawings/s (%.1f %% of the rate without it; target >= 95 %%), tool CPU %.1f %% "
                "(%+.1f points; target <= 2)\n",
                plainRate, 100.0 * plain.cpuSeconds / plain.seconds, analysedRate,
                100.0 * analysedRate / plainRate, 100.0 * analysed.cpuSeconds / analysed.seconds,
                100.0 *
                    (analysed.cpuSeconds / analysed.seconds - plain.cpuSeconds / plain.seconds));

    unit.terminate();
    unit.waitForFinished(5000);
    return boxes.shown == 0 ? 0 : 1;
}
