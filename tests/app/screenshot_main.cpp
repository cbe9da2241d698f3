// page_shots: saves a PNG of each page of the main window and of each dialog, so that the
// layout can be looked at without the program. Usage: page_shots OUTPUT_DIR
// The "_live" shots carry made-up values (waveforms, lamps, grid rows) to show how the
// pages look in use.
#include "gui/dialogs/search_dialog.hpp"
#include "gui/dialogs/tcc_dialog.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/pages/protocol_page.hpp"
#include "gui/widgets/indicator_shape.hpp"
#include "session/connection_doctor.hpp"
#include "session/unit_session.hpp"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMessageBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextStream>
#include <QTimer>

#include <cmath>
#include <numbers>

using namespace torl7;

namespace {

bool save(QWidget* widget, const QDir& folder, const QString& name) {
    const QString path = folder.filePath(name + ".png");
    const bool saved = widget->grab().save(path);
    QTextStream(stdout) << (saved ? "saved " : "FAILED ") << path << " " << widget->width() << "x"
                        << widget->height() << "\n";
    return saved;
}

void fillWaveforms(DiagPage& page) {
    QLineSeries* series[] = {page.Series1, page.Series2, page.Series3,
                             page.Series4, page.Series5, page.Series6};
    for (int index = 0; index < 6; ++index) {
        const double phase = (index / 2) * 2 * std::numbers::pi / 3;
        const double amplitude = index % 2 == 0 ? 110 : 60;
        QList<QPointF> points;
        for (int sample = 1; sample <= 100; ++sample)
            points.append({double(sample),
                           128 + amplitude * std::sin(2 * std::numbers::pi * sample / 50 + phase)});
        series[index]->replace(points);
    }
}

void fillStates(DiagPage& page) {
    const QColor red(255, 0, 0);
    const QColor green(0, 255, 0);
    page.sh_iso->setFillColor(green);
    page.zp_uasm->setFillColor(red);
    page.sh_umax->setFillColor(red);
    page.Sh_z->setFillColor(red);
    page.c_ivtz->setText("118");
    page.st_ikrp->setText("1,3");
    page.ttime->setText("14:05:09");
    page.tDATE->setText("08.12.2026г.");
    page.st_wa->setText("000123,456");
    page.st_moto->setText("00001:02:05");
}

void fillProtocol(ProtocolPage& page) {
    page.StGr_prot->setRowCount(3);
    const QStringList rows[] = {
        {"1", "05.03.16  14:30:45:3", "Вкл.", "Вкл.", "Перегруз", "220", "221", "222", "12.3",
         "12.4", "100", "0.5", "0,85"},
        {"2", "06.03.16  08:00:01:0", "Выкл.", "Вкл.", "Заклинивание", "219", "220", "221", "45,0",
         "44,8", "45,1", "0,0", "-0,62"},
        {"3", "07.03.16  23:59:59:12", "Вкл.", "Выкл.", "Утечка тока", "0", "0", "0", "0,0", "0,0",
         "0,0", "1,2", "1,00"},
    };
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < rows[row].size(); ++column)
            page.StGr_prot->setItem(row, column, new QTableWidgetItem(rows[row][column]));
    page.st_nuh->setText("05.03.2016г/14:05:09");
    page.st_nwa->setText("000123,4");
    page.st_tdv->setText("1193046:28:15");
    page.st_kvdv->setText("65535");
    page.st_kzdv->setText("12");
}

void fillCurve(TccDialog& dialog) {
    QList<QPointF> points;
    for (int i = 1; i <= 90; ++i)
        points.append({1 + i / 10.0, 600.0 / i});
    dialog.Series1->replace(points);
    dialog.timeAxis->setRange(600.0 / 90, 600.0);
    dialog.g_inom_a->setText("15");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: page_shots OUTPUT_DIR\n";
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(".")) {
        QTextStream(stderr) << "cannot create " << folder.path() << "\n";
        return 1;
    }

    // The pages as the main window's tabs show them.
    QTabWidget tabs;
    auto* config = new ConfigPage;
    auto* diag = new DiagPage;
    auto* protocol = new ProtocolPage;
    tabs.addTab(config, "Конфигурация");
    tabs.addTab(diag, "Диагностика");
    tabs.addTab(protocol, "Протокол");
    tabs.show();
    tabs.resize(tabs.sizeHint());
    app.processEvents();

    bool ok = true;
    tabs.setCurrentWidget(config);
    ok &= save(&tabs, folder, "config_page");
    tabs.setCurrentWidget(diag);
    ok &= save(&tabs, folder, "diag_page");
    fillWaveforms(*diag);
    fillStates(*diag);
    app.processEvents();
    ok &= save(&tabs, folder, "diag_page_live");
    tabs.setCurrentWidget(protocol);
    ok &= save(&tabs, folder, "protocol_page");
    fillProtocol(*protocol);
    app.processEvents();
    ok &= save(&tabs, folder, "protocol_page_live");

    SearchDialog search;
    search.cmbPorts->addItem("ttyUSB0");
    search.show();
    app.processEvents();
    ok &= save(&search, folder, "search_dialog");

    TccDialog tcc;
    tcc.show();
    app.processEvents();
    ok &= save(&tcc, folder, "tcc_dialog");
    fillCurve(tcc);
    app.processEvents();
    ok &= save(&tcc, folder, "tcc_dialog_live");

    // The "no answer" box with the line's hint under it, grabbed while it is open.
    QtMessageBoxes boxes(&tabs);
    QTimer::singleShot(300, &app, [&] {
        QMessageBox* box = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* shown = qobject_cast<QMessageBox*>(widget); shown && shown->isVisible()) {
                box = shown;
            }
        }
        ok &= box != nullptr && save(box, folder, "no_answer_box");
        if (box != nullptr) {
            box->done(0);
        }
    });
    boxes.noAnswer(kNoAnswerText, kCaptionTool,
                   QString::fromStdString(noAnswerHint({LineDiagnosis::Cause::EchoOnly, 600, 0})),
                   true);
    return ok ? 0 : 1;
}
