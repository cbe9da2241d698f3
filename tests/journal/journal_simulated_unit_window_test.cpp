// The "Протокол" tab against the simulated unit over a real pseudo-terminal and Qt's serial
// port: the protocol read, the accounting read and reset, and a chain broken by a lost answer.
#include "documents/comtrade_reader.hpp"
#include "documents/settings_file.hpp"
#include "gui/controllers/bundle_saver.hpp"
#include "gui/controllers/diagnostics.hpp"
#include "gui/controllers/exports.hpp"
#include "gui/controllers/report_writer.hpp"
#include "gui/main_window.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/pages/protocol_page.hpp"
#include "session/qt_serial_line.hpp"
#include "sim/simulated_unit.hpp"
#include "support/recording_message_boxes.hpp"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace torl7;
using namespace torl7::test;

namespace {

class JournalAgainstSimulatedUnit : public ::testing::Test {
protected:
    void start(sim::SimOptions options) {
        port = QString::fromStdString(unit.start(options));
        window = std::make_unique<MainWindow>(line, boxes, portList({port}, false));
    }
    void TearDown() override {
        unit.stop();
        qputenv("PATH", path);
    }

    // "Сохранить всё…" into `folder` on 9 Dec 2026, the report template found and no LibreOffice
    // on the PATH.
    BundleSaver& saveAllInto(const QString& folder) {
        window->findChild<ReportWriter*>()->programDir =
            std::filesystem::path(TORL7_REPORT_TEMPLATE).parent_path().parent_path();
        auto* saver = window->findChild<BundleSaver*>();
        saver->today = [] { return QDate(2026, 12, 9); };
        saver->askFolder = [folder] { return folder; };
        qputenv("PATH", QByteArray("/nonexistent"));
        return *saver;
    }

    ProtocolPage& page() { return *window->TabSheet3; }

    // Presses the button and waits for the message that ends the operation.
    bool pressAndWaitForMessage(QPushButton* button) {
        const std::size_t before = boxes.shown.size();
        button->click();
        return QTest::qWaitFor([&] { return boxes.shown.size() > before; }, 10000);
    }

    QString cell(int row, int column) const {
        const QTableWidgetItem* item = window->TabSheet3->StGr_prot->item(row, column);
        return item ? item->text() : QString();
    }

    sim::SimulatedUnit unit;
    QString port;
    QtSerialLine line;
    RecordingMessageBoxes boxes;
    std::unique_ptr<MainWindow> window;
    const QByteArray path = qgetenv("PATH");
};

} // namespace

TEST_F(JournalAgainstSimulatedUnit, protocolAndAccountingAreReadAndTheAccountingReset) {
    sim::SimOptions options;
    options.server.wireTime = true;
    start(options);

    ASSERT_TRUE(pressAndWaitForMessage(page().Button1));
    EXPECT_EQ(boxes.shown.back().text, QStringLiteral("Протокол считан!"));
    EXPECT_EQ(page().pb_prot->value(), 10);
    EXPECT_FALSE(line.isOpen());
    // The unit's sample protocol: out of order, ties, records to drop, erased slots.
    EventTable table;
    for (std::uint8_t b = 0; b < kEventBlocks; ++b) {
        table.storeBlock(decodeEventBlock(sim::EventProtocol::sample().block(b)));
    }
    const auto rows = table.finish();
    ASSERT_EQ(page().StGr_prot->rowCount(), static_cast<int>(rows.size()));
    for (int r = 0; r < page().StGr_prot->rowCount(); ++r) {
        ASSERT_EQ(cell(r, 0), QString::number(r + 1));
        for (int c = 1; c < 13; ++c) {
            ASSERT_EQ(cell(r, c).toStdString(), rows[static_cast<std::size_t>(r)][c - 1])
                << "row " << r + 1 << " column " << c;
        }
    }

    ASSERT_TRUE(pressAndWaitForMessage(page().Button7));
    EXPECT_EQ(boxes.shown.back().text, QStringLiteral("Учетная запись считана!"));
    EXPECT_EQ(page().st_nuh->text(), QStringLiteral("01.09.2025г/08:00:00"));
    EXPECT_EQ(page().st_kvdv->text(), QStringLiteral("57"));
    EXPECT_EQ(page().st_kzdv->text(), QStringLiteral("3"));
    EXPECT_TRUE(page().st_tdv->text().startsWith(QStringLiteral("01520:")))
        << page().st_tdv->text().toStdString();

    boxes.answers.push_back(MessageBoxes::Answer::Yes);
    ASSERT_TRUE(pressAndWaitForMessage(page().Button8)); // the question
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.shown.size() == 4; }, 10000));
    EXPECT_EQ(boxes.shown.back().text, QStringLiteral("Учетная запись обнулена!"));
    EXPECT_EQ(page().st_tdv->text(), QStringLiteral("00000:00:00"));
    EXPECT_EQ(page().st_kvdv->text(), QStringLiteral("0"));
    EXPECT_EQ(page().st_nwa->text(), QStringLiteral("000000,0"));
    EXPECT_FALSE(line.isOpen());
}

TEST_F(JournalAgainstSimulatedUnit, aLostBlockEndsTheReadKeepsTheGridAndTheNextReadWorks) {
    sim::SimOptions options;
    // Answers are counted from 1: the first read takes ten, the second loses block 4.
    options.faults.rules.push_back({sim::FaultKind::Drop, 15, 15});
    start(options);

    ASSERT_TRUE(pressAndWaitForMessage(page().Button1));
    const int rows = page().StGr_prot->rowCount();
    ASSERT_GT(rows, 0);
    const QString firstRow = cell(0, 1);

    ASSERT_TRUE(pressAndWaitForMessage(page().Button1));
    EXPECT_EQ(
        boxes.shown.back().text,
        QStringLiteral("Устройство не отвечает! Повторите попытку или обратитесь к разработчику."));
    EXPECT_EQ(page().pb_prot->value(), 4);
    EXPECT_EQ(page().StGr_prot->rowCount(), rows);
    EXPECT_EQ(cell(0, 1), firstRow);

    ASSERT_TRUE(pressAndWaitForMessage(page().Button1));
    EXPECT_EQ(boxes.shown.back().text, QStringLiteral("Протокол считан!"));
    EXPECT_EQ(page().StGr_prot->rowCount(), rows);
}

TEST_F(JournalAgainstSimulatedUnit, theReportChainReadsAccountingAndProtocolThenSavesTheReport) {
    start({});
    auto* writer = window->findChild<ReportWriter*>();
    ASSERT_NE(writer, nullptr);
    writer->programDir = std::filesystem::path(TORL7_REPORT_TEMPLATE).parent_path().parent_path();
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("report.docx"));
    writer->askFileName = [&](const QString&) { return saved; };

    ASSERT_TRUE(pressAndWaitForMessage(page().btn_save_prot));
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Протокол сохранен !")});
    EXPECT_EQ(writer->chainStep(), ReportStep::Idle);
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(page().st_kvdv->text(), QStringLiteral("57"));
    EXPECT_GT(page().StGr_prot->rowCount(), 0);
    EXPECT_TRUE(QFileInfo::exists(saved));
}

// "Сохранить всё…": the unit read fresh, every file in the folder named by factory number and
// date, the waveforms last drawn at the rate given; without waveforms or LibreOffice a note
// stands in their place. A cancelled folder asks the unit nothing.
TEST_F(JournalAgainstSimulatedUnit, saveAllWritesTheBundleFromTheUnitAndTheWaveformsDrawn) {
    start({});
    QTemporaryDir dir;
    QString folder;
    BundleSaver* saver = &saveAllInto(QString());
    saver->askFolder = [&] { return folder; };
    int ratesAsked = 0;
    saver->askSampleRate = [&]() -> std::optional<double> {
        ++ratesAsked;
        return 2000.0;
    };
    const auto slurp = [](const QString& name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    };
    const QString base = QStringLiteral("ТОРЛ_№600_0912_26");
    const QDir out(dir.filePath(QStringLiteral("ТОРЛ_№600_2026-12-09")));

    page().btn_save_all->click(); // folder cancelled
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(line.isOpen());

    folder = dir.path();
    ASSERT_TRUE(pressAndWaitForMessage(page().btn_save_all));
    EXPECT_EQ(ratesAsked, 0) << "nothing drawn, nothing to ask";
    ASSERT_EQ(boxes.shown.back().kind, RecordingMessageBoxes::Kind::Information)
        << boxes.shown.back().text.toStdString();
    QStringList files = {base + ".docx",           base + "_PDF_не_создан.txt",
                         base + "_настройки.json", base + "_осциллограммы_не_сняты.txt",
                         base + "_события.csv",    base + "_учет.json"};
    QStringList found = out.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    files.sort();
    EXPECT_EQ(found, files);
    EXPECT_FALSE(saver->running());
    EXPECT_EQ(page().st_kvdv->text(), QStringLiteral("57")) << "the chain showed what it read";
    const std::string csv = slurp(out.filePath(base + "_события.csv"));
    EXPECT_NE(csv.find(cell(0, 1).toStdString()), std::string::npos) << "the grid's first event";
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), page().StGr_prot->rowCount() + 1);
    EXPECT_NE(slurp(out.filePath(base + "_учет.json")).find("\"starts\": 57"), std::string::npos);

    // A drawn sequence of phase A: the bundle asks its rate and keeps it as COMTRADE.
    window->TabSheet2->cmb_m->setCurrentIndex(1);
    auto* diagnostics = window->findChild<Diagnostics*>();
    diagnostics->diagnosClick();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->findChild<Exports*>()->lastDrawn().has_value(); }, 10000));
    diagnostics->diagnosClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !line.isOpen(); }, 10000));
    ASSERT_TRUE(pressAndWaitForMessage(page().btn_save_all));
    EXPECT_EQ(ratesAsked, 1);
    const auto read = readComtrade(slurp(out.filePath(base + "_осциллограммы.cfg")),
                                   slurp(out.filePath(base + "_осциллограммы.dat")));
    ASSERT_TRUE(read.record) << read.error.text();
    const ComtradeRecord& comtrade = *read.record;
    EXPECT_EQ(comtrade.device, "600");
    ASSERT_EQ(comtrade.rates.size(), 1u);
    EXPECT_EQ(comtrade.rates[0].first, 2000);
    EXPECT_EQ(comtrade.analogCount, 2) << "Ua and Ia of the phase drawn";
}

// The bundle reads the version first: its settings file names the firmware the unit gave, or
// none when the unit gave none, not the text an earlier unit left on the page.
TEST_F(JournalAgainstSimulatedUnit, saveAllNamesTheFirmwareTheUnitGave) {
    const struct {
        bool answered;
        std::string firmware;
        QString page;
    } rows[] = {{true, "ТОРЛ-7 v9.87", "ТОРЛ-7 v9.87"}, {false, "", "ТОРЛ-7 v1.00"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answered ? "answered" : "version dropped");
        sim::SimOptions options;
        options.unit.versionText = "ТОРЛ-7 v9.87";
        if (!row.answered) {
            options.faults.rules = {{sim::FaultKind::Drop, 1, 1}};
        }
        start(options);
        window->TabSheet1->st_vpmk->setText(QStringLiteral("ТОРЛ-7 v1.00"));
        QTemporaryDir dir;
        saveAllInto(dir.path());
        ASSERT_TRUE(pressAndWaitForMessage(page().btn_save_all));
        ASSERT_EQ(boxes.shown.back().kind, RecordingMessageBoxes::Kind::Information)
            << boxes.shown.back().text.toStdString();
        QFile file(
            dir.filePath(QStringLiteral("ТОРЛ_№600_2026-12-09/ТОРЛ_№600_0912_26_настройки.json")));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const auto settings = readSettingsFile(file.readAll().toStdString());
        ASSERT_TRUE(settings.file);
        EXPECT_EQ(settings.file->provenance.firmware, row.firmware);
        EXPECT_EQ(window->TabSheet1->st_vpmk->text().trimmed(), row.page);
        unit.stop();
    }
}
