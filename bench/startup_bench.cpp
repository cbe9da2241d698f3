// Start-up of the tool: time from the process start to the main window painted, and the
// memory it then holds. Runs the same start-up as torl7 (Russian translation, the machine's
// port probe, the window and both dialogs), each time in a freshly executed process.
//
//   startup_bench [RUNS]      under a display (xvfb-run) or QT_QPA_PLATFORM=offscreen
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "session/qt_serial_line.hpp"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Seconds since this process started, from the kernel's record of its start.
double secondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string field;
    for (int i = 0; i < 22 && stat >> field; ++i) {
    }
    const double startTicks = std::stod(field);
    std::ifstream uptimeFile("/proc/uptime");
    double uptime = 0;
    uptimeFile >> uptime;
    return uptime - startTicks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long peakRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

class PaintWatch : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }
    bool painted = false;
};

int oneStart(int argc, char** argv, int pipeFd) {
    const auto wallStart = std::chrono::steady_clock::now();
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QTranslator qt;
    if (qt.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qt);
    }
    torl7::QtSerialLine line;
    torl7::QtMessageBoxes boxes(nullptr);
    torl7::MainWindow window(line, boxes, torl7::portList({QStringLiteral("/dev/null")}, true));
    PaintWatch watch;
    window.PageControl1->currentWidget()->installEventFilter(&watch);
    window.show();
    QApplication::exec();
    const double fromProcessStart = secondsSinceProcessStart();
    const double fromMain =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    char out[128];
    const int n =
        std::snprintf(out, sizeof out, "%f %f %ld\n", fromProcessStart, fromMain, peakRssKb());
    return write(pipeFd, out, static_cast<std::size_t>(n)) == n ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    // Each start is a fresh exec of this program, so loading the libraries is counted too.
    if (argc == 3 && std::string(argv[1]) == "--child") {
        return oneStart(argc, argv, std::atoi(argv[2]));
    }
    const int runs = argc > 1 ? std::atoi(argv[1]) : 7;
    std::vector<double> total, fromMain;
    std::vector<long> rss;
    for (int i = 0; i < runs; ++i) {
        int fds[2];
        if (pipe(fds) != 0) {
            return 1;
        }
        const pid_t child = fork();
        if (child == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execl("/proc/self/exe", argv[0], "--child", fd.c_str(), nullptr);
            _exit(127);
        }
        close(fds[1]);
        char buffer[128] = {};
        const ssize_t got = read(fds[0], buffer, sizeof buffer - 1);
        close(fds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        double t = 0, m = 0;
        long kb = 0;
        if (got <= 0 || std::sscanf(buffer, "%lf %lf %ld", &t, &m, &kb) != 3) {
            std::fprintf(stderr, "run %d failed\n", i);
            return 1;
        }
        total.push_back(t);
        fromMain.push_back(m);
        rss.push_back(kb);
    }
    std::sort(total.begin(), total.end());
    std::sort(fromMain.begin(), fromMain.end());
    std::sort(rss.begin(), rss.end());
    std::printf("start to window painted: median %.3f s (from main %.3f s), peak RSS median %.1f "
                "MB over %d runs\n",
                total[total.size() / 2], fromMain[fromMain.size() / 2],
                static_cast<double>(rss[rss.size() / 2]) / 1024.0, runs);
    return 0;
}
