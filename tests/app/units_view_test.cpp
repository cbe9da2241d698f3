// The "Подстанция" tab: a substation of two lines, one simulated unit on the first and a bus of
// two on the second (one of them silent), collected; and a unit picked by a double click, which
// the connection bar then serves.
#include "gui/controllers/report_writer.hpp"
#include "gui/controllers/substation_units.hpp"
#include "gui/dialogs/collect_dialog.hpp"
#include "gui/pages/units_page.hpp"
#include "records/archive.hpp"
#include "sim/command_line.hpp"
#include "sim/simulated_unit.hpp"
#include "support/window_fixture.hpp"

#include <QComboBox>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace torl7;
using namespace torl7::test;

namespace {

class UnitsViewTest : public WindowFixture {
protected:
    UnitsViewTest() : units(*w().subsystems().units), page(*w().TabSheet4) {}
    void TearDown() override { qputenv("PATH", path); }

    // Opens a substation file of this text through "Открыть…".
    void openFile(const QString& text) {
        const QString file = dir.filePath("ps.json");
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text.toUtf8());
        out.close();
        units.askOpenPath = [file] { return file; };
        page.btn_units_open->click();
        ASSERT_EQ(page.tbl_units->rowCount(), text.count("\"number\""))
            << boxes.texts().join('\n').toStdString();
    }
    QString cell(int row, int column) const {
        const QTableWidgetItem* item = page.tbl_units->item(row, column);
        return item ? item->text() : QString();
    }

    SubstationUnits& units;
    UnitsPage& page;
    QTemporaryDir dir;
    const QByteArray path = qgetenv("PATH");
};

QString substation(const QString& port1, const QString& port2) {
    return QStringLiteral(R"({"format": "torl7-substation", "format_version": 1, "name": "ПС",
  "lines": [{"id": "bus1", "port": "%1", "speed_baud": 115200},
            {"id": "bus2", "port": "%2", "speed_baud": 115200}],
  "units": [{"number": 600, "line": "bus1", "switchgear": "КРУ-6 кВ", "bay": "яч. 4"},
            {"number": 601, "line": "bus2"},
            {"number": 602, "line": "bus2", "motor": "Насос 3"}]})")
        .arg(port1, port2);
}

} // namespace

TEST_F(UnitsViewTest, collectAllFillsTheResultsAndWritesAFolderPerUnitThatAnswered) {
    sim::SimulatedUnit bus1, bus2;
    const QString port1 = QString::fromStdString(bus1.start({}));
    // 602 is on the second line beside 601 but answers nothing.
    const auto second = std::get<sim::CommandLine>(
        sim::parseCommandLine({"--unit", "601", "--unit", "602", "--fault", "602:drop"}));
    const QString port2 = QString::fromStdString(
        bus2.startBus(sim::unitsOnLine(second.options, second.units, second.unitFaults)));
    openFile(substation(port1, port2));
    w().subsystems().report->programDir =
        std::filesystem::path(TORL7_REPORT_TEMPLATE).parent_path().parent_path();
    qputenv("PATH", QByteArray("/nonexistent")); // no LibreOffice: a note for the PDF
    const QString out = dir.filePath("out");
    ASSERT_TRUE(QDir().mkpath(out));
    units.askFolder = [out] { return out; };

    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    page.btn_collect_all->click();
    ASSERT_NE(units.progress(), nullptr);
    EXPECT_TRUE(units.progress()->isVisible());
    EXPECT_FALSE(page.btn_collect_all->isEnabled());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return units.state() == SubstationUnits::State::Idle; }, 20000));
    EXPECT_EQ(units.progress(), nullptr);

    const QString today = QDate::currentDate().toString("yyyy-MM-dd");
    const struct {
        int number;
        QString names, result, firmware;
        bool folder;
    } rows[] = {
        {600, "КРУ-6 кВ, яч. 4", "собрано", "ТОРЛ-7 v2.04", true},
        {601, "", "собрано", "ТОРЛ-7 v2.04", true},
        {602, "Насос 3", "нет ответа", "", false},
    };
    for (int row = 0; row < 3; ++row) {
        const auto& r = rows[row];
        SCOPED_TRACE(r.number);
        EXPECT_EQ(cell(row, UnitsPage::Number), QString::number(r.number));
        EXPECT_EQ(cell(row, UnitsPage::Names), r.names);
        EXPECT_EQ(cell(row, UnitsPage::Result), r.result);
        EXPECT_EQ(cell(row, UnitsPage::Firmware), r.firmware);
        EXPECT_EQ(cell(row, UnitsPage::LastSeen).isEmpty(), !r.folder);
        const QDir folder(out + QStringLiteral("/ТОРЛ_№%1_%2").arg(r.number).arg(today));
        EXPECT_EQ(folder.exists(), r.folder);
        if (r.folder) {
            const QStringList files = folder.entryList(QDir::Files);
            EXPECT_EQ(files.filter(".docx").size(), 1) << files.join(' ').toStdString();
            EXPECT_EQ(files.filter(".csv").size(), 1) << files.join(' ').toStdString();
        }
    }
    // Each unit read is kept in the archive as a collection; the silent one is not.
    const auto collectedSince = [&](int unit) {
        auto opened = Archive::open(Archive::defaultLocation(), Archive::Access::ReadOnly);
        const auto* archive = std::get_if<std::unique_ptr<Archive>>(&opened);
        int found = 0;
        for (const HistoryEntry& e :
             archive ? (*archive)->history(unit) : std::vector<HistoryEntry>{}) {
            found += e.kind == "collect" && e.readAt >= started ? 1 : 0;
        }
        return found;
    };
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return collectedSince(600) + collectedSince(601) == 2; }, 10000));
    EXPECT_EQ(collectedSince(602), 0);

    page.tbl_units->selectRow(2);
    EXPECT_TRUE(page.st_unit_detail->text().startsWith("Нет ответа. "))
        << page.st_unit_detail->text().toStdString();
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.back().text,
              QStringLiteral("Сбор завершён: собрано 2 из 3.\nнет ответа: №602\nПапка: %1")
                  .arg(QDir::toNativeSeparators(out)));

    // Cancelled at once: every line ends with its first unit, nothing more is written.
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    page.btn_collect_all->click();
    units.progress()->btn_collect_cancel->click();
    EXPECT_FALSE(units.progress()->btn_collect_cancel->isEnabled());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return units.state() == SubstationUnits::State::Idle; }, 20000));
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(cell(row, UnitsPage::Result), "отменено") << row;
    }
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    EXPECT_TRUE(boxes.shown.back().text.startsWith("Сбор отменён: собрано 0 из 3."))
        << boxes.shown.back().text.toStdString();
}

TEST_F(UnitsViewTest, aSubstationOpenedShowsWhenTheArchiveLastReadEachUnitAndItsFirmware) {
    ArchiveReading older, newer;
    older.unit = newer.unit = 4242;
    older.kind = newer.kind = "read-config";
    older.readAt = QDateTime(QDate(2025, 11, 30), QTime(8, 0));
    older.firmware = "ТОРЛ-7 v2.03";
    newer.readAt = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)); // gave no firmware
    {
        auto opened = Archive::open(Archive::defaultLocation());
        auto* archive = std::get_if<std::unique_ptr<Archive>>(&opened);
        ASSERT_TRUE(archive);
        ASSERT_TRUE(std::holds_alternative<qint64>((*archive)->store(older)));
        ASSERT_TRUE(std::holds_alternative<qint64>((*archive)->store(newer)));
    }
    openFile(QStringLiteral(R"({"format": "torl7-substation", "format_version": 1, "name": "",
  "lines": [{"id": "bus1", "port": "/dev/ttyS9", "speed_baud": 9600}],
  "units": [{"number": 4242, "line": "bus1"}, {"number": 4243, "line": "bus1"}]})"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return cell(0, UnitsPage::LastSeen) == QStringLiteral("02.01.2026 03:04:05"); },
        5000))
        << cell(0, UnitsPage::LastSeen).toStdString();
    EXPECT_EQ(cell(0, UnitsPage::Firmware), QStringLiteral("ТОРЛ-7 v2.03"));
    EXPECT_EQ(cell(0, UnitsPage::Result), QString()) << "not collected in this run";
    EXPECT_EQ(cell(1, UnitsPage::LastSeen), QString()) << "never read";
}

TEST_F(UnitsViewTest, doubleClickPointsTheConnectionBarAtTheUnitWithItsLinesSpeed) {
    openFile(QStringLiteral(R"({"format": "torl7-substation", "format_version": 1, "name": "",
  "lines": [{"id": "srv", "port": "rfc2217://10.0.0.5:4001", "speed_baud": 9600},
            {"id": "usb", "port": "/dev/ttyUSB0", "speed_baud": 14400}],
  "units": [{"number": 500, "line": "srv"}, {"number": 610, "line": "usb"}]})"));
    w().PageControl1->setCurrentWidget(&page);
    w().show();
    const struct {
        int row;
        int number;
        QString port; // the item chosen in both port boxes
        QStringList ports;
        QString speed;  // the line's, whatever the number implies
        int speedIndex; // of 300, 600, ... 115200
    } cases[] = {
        {0, 500, "rfc2217://10.0.0.5:4001", {"ttyUSB0", "rfc2217://10.0.0.5:4001"}, "  9600", 5},
        {1, 610, "ttyUSB0", {"ttyUSB0", "rfc2217://10.0.0.5:4001"}, " 14400", 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        w().PageControl1->setCurrentWidget(&page);
        QTableWidget& table = *page.tbl_units;
        const QPoint at = table.visualItemRect(table.item(c.row, 0)).center();
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(w().PageControl1->currentWidget(), &diag());
        EXPECT_EQ(diag().frm1_zn->value(), c.number);
        EXPECT_EQ(w().searchDialog()->frm2_zn->value(), c.number);
        EXPECT_EQ(diag().cb_speed->currentText(), c.speed);
        for (QComboBox* box : {diag().cmbPorts, w().searchDialog()->cmbPorts}) {
            QStringList items;
            for (int i = 0; i < box->count(); ++i) {
                items << box->itemText(i);
            }
            EXPECT_EQ(items, c.ports);
            EXPECT_EQ(box->currentText(), c.port);
        }
        EXPECT_EQ(session().portName(), c.port);
        EXPECT_EQ(session().factoryNumber(), c.number);
        EXPECT_EQ(session().lineSpeed(), c.speedIndex);
    }
}

TEST_F(UnitsViewTest, aSweepOfALineAddsTheUnitsThatAnsweredOnThatLine) {
    sim::SimulatedUnit bus;
    const auto line = std::get<sim::CommandLine>(
        sim::parseCommandLine({"--unit", "600", "--unit", "601", "--unit", "615"}));
    const QString port =
        QString::fromStdString(bus.startBus(sim::unitsOnLine(line.options, line.units, {})));
    units.askSweep = [port] { return SweepRequest{port, 10, 598, 620}; }; // 115200 baud
    page.btn_units_sweep->click();
    ASSERT_NE(units.progress(), nullptr);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return units.state() == SubstationUnits::State::Idle; }, 20000));
    QStringList rows;
    for (int row = 0; row < page.tbl_units->rowCount(); ++row) {
        rows << cell(row, UnitsPage::Number) + " " + cell(row, UnitsPage::Line);
    }
    const QString onLine = QStringLiteral(" line1: %1, 115200").arg(port);
    EXPECT_EQ(rows, QStringList({"600" + onLine, "601" + onLine, "615" + onLine}));
    EXPECT_EQ(boxes.shown.back().text,
              QStringLiteral("Поиск на линии %1 завершён: ответили 3 из 23 номеров (№600, №601, "
                             "№615).\nДобавлено в подстанцию: 3.")
                  .arg(port));
    EXPECT_TRUE(page.btn_units_save->isEnabled());
}
