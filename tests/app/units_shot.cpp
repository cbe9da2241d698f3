// units_shot: the "Подстанция" tab during a collection and after it, for people to look at.
// Two lines of simulated units at 9600 baud with wire time, the second a bus of two of which
// one is silent, the screen
// grabbed while the progress dialog shows, then with the summary, then the unit dialog.
// Run under a display (xvfb-run); usage: units_shot OUTPUT_DIR
#include "gui/controllers/substation_units.hpp"
#include "gui/dialogs/collect_dialog.hpp"
#include "gui/dialogs/unit_dialog.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/units_page.hpp"
#include "session/port_line.hpp"
#include "sim/command_line.hpp"
#include "sim/simulated_unit.hpp"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>

using namespace torl7;

namespace {

bool shoot(const QDir& folder, const QString& name) {
    const QString path = folder.filePath(name + ".png");
    const bool saved = QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    QTextStream(stdout) << (saved ? "saved " : "FAILED ") << path << "\n";
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: units_shot OUTPUT_DIR\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QTranslator russian;
    if (russian.load(QLocale(QLocale::Russian), "qtbase", "_",
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&russian);
    }

    sim::SimulatedUnit bus1, bus2;
    const auto busOf = [](std::vector<std::string> args) {
        for (const char* shared : {"--speed", "9600", "--wire-time"}) {
            args.emplace_back(shared);
        }
        const auto parsed = std::get<sim::CommandLine>(sim::parseCommandLine(args));
        return sim::unitsOnLine(parsed.options, parsed.units, parsed.unitFaults);
    };
    const QString port1 = QString::fromStdString(bus1.startBus(busOf({"--unit", "600"})));
    const QString port2 = QString::fromStdString(
        bus2.startBus(busOf({"--unit", "601", "--unit", "602", "--fault", "602:drop"})));
    QTemporaryDir work;
    const QString file = work.filePath("ps.json");
    QFile out(file);
    out.open(QIODevice::WriteOnly);
    out.write(QStringLiteral(
                  R"({"format": "torl7-substation", "format_version": 1, "name": "ПС Северная",
  "lines": [{"id": "bus1", "port": "%1", "speed_baud": 9600},
            {"id": "bus2", "port": "%2", "speed_baud": 9600}],
  "units": [{"number": 600, "line": "bus1", "switchgear": "КРУ-6 кВ", "bay": "яч. 4",
             "motor": "Насос 1"},
            {"number": 601, "line": "bus2", "switchgear": "КРУ-6 кВ", "bay": "яч. 7"},
            {"number": 602, "line": "bus2", "switchgear": "КРУ-6 кВ", "bay": "яч. 9",
             "motor": "Вентилятор 2"}]})")
                  .arg(port1, port2)
                  .toUtf8());
    out.close();

    PortLine line;
    QtMessageBoxes boxes(nullptr);
    // The first line's port is the one the window offers, as with --port.
    MainWindow window(line, boxes, {{QFileInfo(port1).fileName(), port1}});
    boxes.setParent(&window);
    window.show();
    window.move(0, 0);
    SubstationUnits& units = *window.subsystems().units;
    units.open(file);
    window.PageControl1->setCurrentWidget(window.TabSheet4);
    units.askFolder = [&work] { return work.filePath("out"); };
    QDir().mkpath(work.filePath("out"));

    bool ok = true;
    bool collecting = false;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        CollectDialog* progress = units.progress();
        if (!collecting && progress && progress->pb_collect->value() >= 1) {
            collecting = true;
            ok &= shoot(folder, "units_collecting");
        }
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                watch.stop();
                // The summary once the screen has drawn it and taken the progress dialog away.
                QTimer::singleShot(300, &app, [&, box] {
                    ok &= shoot(folder, "units_done");
                    box->done(0);
                    QTimer::singleShot(300, &app, [&] {
                        auto* dialog =
                            new UnitDialog(&window, units.substation(), 600, {port1, port2}, boxes);
                        dialog->show();
                        QTimer::singleShot(500, &app, [&] {
                            ok &= shoot(folder, "unit_dialog");
                            app.quit();
                        });
                    });
                });
                return;
            }
        }
    });
    watch.start();
    QTimer::singleShot(300, &units, &SubstationUnits::collectAll);
    QTimer::singleShot(60000, &app, [&] {
        ok = false;
        app.quit();
    });
    app.exec();
    return ok && collecting ? 0 : 1;
}
