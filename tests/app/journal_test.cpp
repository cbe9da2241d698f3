// The window keeping what it reads in the archive, and the "Журнал" tab showing the events of
// every unit from it: two simulated units on one line, read by the window like a user does.
#include "app/control_expectations.hpp" // readable Qt strings in failures
#include "gui/controllers/archive_feed.hpp"
#include "gui/controllers/journal.hpp"
#include "gui/main_window.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/pages/journal_page.hpp"
#include "gui/pages/protocol_page.hpp"
#include "session/port_line.hpp"
#include "sim/simulated_unit.hpp"
#include "support/recording_message_boxes.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

using namespace torl7;
using namespace torl7::test;

namespace {

// Events out of time order in their slots, the two units' interleaved in time; 601's last
// one is a jam, the others overload trips.
const char* const kEvents600 = "03.03.26 09:15:00 0 81 20 220 221 222 12,3 12,4 12,5 0,0 0,85\n"
                               "01.03.26 10:00:00 0 81 20 220 221 222 40,0 40,1 40,2 0,0 0,80\n";
const char* const kEvents601 = "02.03.26 12:30:00 0 81 20 219 220 221 30,0 30,0 30,0 0,0 0,82\n"
                               "04.03.26 08:00:05 0 81 40 218 219 220 55,5 55,0 55,1 0,0 0,70\n";

sim::SimOptions unitWith(std::uint16_t number, const char* events) {
    sim::SimOptions options;
    options.unit.factoryNumber = number;
    options.unit.lineSpeedBaud = 115200;
    options.unit.events = std::get<sim::EventProtocol>(sim::EventProtocol::parse(events));
    return options;
}

// The window over the line of both units, keeping its readings in `archive`.
struct JournalWindow {
    explicit JournalWindow(const QString& archive) {
        const std::vector<sim::SimOptions> units{unitWith(600, kEvents600),
                                                 unitWith(601, kEvents601)};
        port = QString::fromStdString(bus.startBus(units));
        qputenv("TORL7_ARCHIVE", archive.toLocal8Bit());
        window = std::make_unique<MainWindow>(line, boxes, portList({port}, false));
        qunsetenv("TORL7_ARCHIVE");
    }
    ~JournalWindow() {
        window.reset(); // stores what it was handed before the line goes
        bus.stop();
    }

    Journal& journal() { return *window->subsystems().journal; }
    JournalPage& page() { return journal().page(); }

    // "Считать протокол" of `unit`, to its own box.
    bool readEvents(int unit) {
        window->TabSheet2->frm1_zn->setValue(unit);
        const qsizetype before = boxes.shown.size();
        window->TabSheet3->Button1->click();
        return QTest::qWaitFor(
            [&] { return boxes.texts().mid(before).contains(QStringLiteral("Протокол считан!")); },
            10000);
    }
    // A button's operation, to the box `said`.
    bool pressUntil(QPushButton* button, const QString& said) {
        const qsizetype before = boxes.shown.size();
        button->click();
        return QTest::qWaitFor([&] { return boxes.texts().mid(before).contains(said); }, 10000);
    }
    // The Журнал once its answer is in: unit and date/time of each row.
    QStringList shownAfterAnswer() {
        const bool answered =
            QTest::qWaitFor([&] { return journal().state() != Journal::State::Asking; }, 10000);
        QStringList rows;
        const auto* model = page().model;
        for (int row = 0; answered && row < model->rowCount(); ++row) {
            rows << model->index(row, 0).data().toString() + " " +
                        model->index(row, 2).data().toString();
        }
        return rows;
    }

    sim::SimulatedUnit bus;
    QString port;
    PortLine line;
    RecordingMessageBoxes boxes;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST(JournalWindow, showsTheEventsOfBothUnitsOnceInTimeOrderAndItsFiltersNarrowThem) {
    const QTemporaryDir folder;
    JournalWindow sim(folder.filePath("archive.sqlite"));
    ASSERT_TRUE(sim.readEvents(600));
    ASSERT_TRUE(sim.readEvents(601));
    ASSERT_TRUE(sim.readEvents(600)) << "read again: its events are kept once";
    const QStringList all{"600 01.03.26  10:00:00:0", "601 02.03.26  12:30:00:0",
                          "600 03.03.26  09:15:00:0", "601 04.03.26  08:00:05:0"};
    EXPECT_EQ(sim.shownAfterAnswer(), all);
    EXPECT_TRUE(sim.page().btn_journal_csv->isEnabled());
    // Another question of the archive behind the timeline's leaves its answer the latest.
    sim.journal().refresh();
    sim.window->subsystems().archive->askLastSeen([](const std::vector<UnitSeen>&) {});
    EXPECT_EQ(sim.shownAfterAnswer(), all);

    JournalPage& page = sim.page();
    // The units' items by their number, the protections' by their name, as a user picks them.
    const auto pickUnit = [&](int unit) {
        page.cb_journal_unit->setCurrentIndex(unit ? page.cb_journal_unit->findData(unit) : 0);
    };
    const auto pickProtection = [&](const char* name) {
        page.cb_journal_protection->setCurrentIndex(
            name[0] ? page.cb_journal_protection->findText(QString::fromUtf8(name)) : 0);
    };
    const auto bound = [](QCheckBox* check, QDateTimeEdit* edit, const char* at) {
        edit->setDateTime(
            QDateTime::fromString(QString::fromLatin1(at), "dd.MM.yy HH:mm").addYears(100));
        check->setChecked(at[0] != '\0');
    };
    const struct {
        int unit; // 0: all
        const char* protection;
        const char* from; // "dd.MM.yy HH:mm", empty: open
        const char* to;
        QStringList shown;
    } cases[] = {
        {601, "", "", "", {all[1], all[3]}},
        {0, "Заклинивание", "", "", {all[3]}},
        {0, "Перегруз", "", "", {all[0], all[1], all[2]}},
        // "по" keeps the whole minute it shows: 08:00:05 is in.
        {0, "", "02.03.26 12:30", "04.03.26 08:00", {all[1], all[2], all[3]}},
        {600, "", "01.03.26 10:01", "", {all[2]}},
        {0, "", "", "", all},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.unit) + " " + c.protection + " " + c.from + " - " + c.to);
        pickUnit(c.unit);
        pickProtection(c.protection);
        bound(page.chk_journal_from, page.dt_journal_from, c.from);
        bound(page.chk_journal_to, page.dt_journal_to, c.to);
        EXPECT_EQ(sim.shownAfterAnswer(), c.shown);
    }
    EXPECT_EQ(sim.boxes.texts(), QStringList(3, QStringLiteral("Протокол считан!")))
        << "nothing said of the archive when it took every reading";

    // A write: the settings found before it, and what the unit took, kept with it.
    sim.boxes.answers.push_back(MessageBoxes::Answer::Yes);
    ASSERT_TRUE(sim.pressUntil(sim.window->TabSheet1->btn_write_konf,
                               QStringLiteral("Конфигурация считана")));
    sim.shownAfterAnswer(); // asked once every reading handed over was stored
    auto opened = Archive::open(folder.filePath("archive.sqlite"), Archive::Access::ReadOnly);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<Archive>>(opened));
    const auto history = std::get<std::unique_ptr<Archive>>(opened)->history(600);
    ASSERT_FALSE(history.empty());
    const HistoryEntry& write = history.back();
    EXPECT_EQ(write.kind, "write-config");
    ASSERT_TRUE(write.write && write.write->asFoundReading);
    EXPECT_NE(write.result, "");
    const auto found = std::find_if(history.begin(), history.end(), [&](const HistoryEntry& e) {
        return e.reading == *write.write->asFoundReading;
    });
    ASSERT_NE(found, history.end());
    EXPECT_EQ(found->configurations, std::vector{ConfigRole::AsFound});
}

TEST(JournalWindow, anUnwritableArchiveLeavesTheReadsDoneAndIsSaidOnce) {
    const QTemporaryDir folder;
    QFile notADatabase(folder.filePath("archive.sqlite"));
    ASSERT_TRUE(notADatabase.open(QIODevice::WriteOnly));
    notADatabase.write(QByteArray(4096, 'x'));
    notADatabase.close();
    JournalWindow sim(notADatabase.fileName());
    ASSERT_TRUE(sim.readEvents(600));
    ASSERT_TRUE(sim.readEvents(601));
    ASSERT_TRUE(
        sim.pressUntil(sim.window->TabSheet3->Button7, QStringLiteral("Учетная запись считана!")));
    // The settings found before a write cannot go to the archive either: the write goes on.
    sim.boxes.answers.push_back(MessageBoxes::Answer::Yes);
    ASSERT_TRUE(sim.pressUntil(sim.window->TabSheet1->btn_write_konf,
                               QStringLiteral("Конфигурация считана")));
    QTest::qWait(200); // the writer's word, queued
    QStringList said;
    for (const QString& text : sim.boxes.texts()) {
        if (text.contains(QStringLiteral("архив"))) {
            said << text;
        }
    }
    ASSERT_EQ(said.size(), 1) << said.join('\n').toStdString();
    EXPECT_TRUE(said[0].contains(folder.filePath("archive.sqlite"))) << "names the archive";
    EXPECT_EQ(sim.window->TabSheet3->StGr_prot->rowCount(), 2) << "601's events shown all the same";
    EXPECT_EQ(sim.shownAfterAnswer(), QStringList());
    EXPECT_EQ(sim.journal().state(), Journal::State::Unavailable);
}
