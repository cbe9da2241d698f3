// The report from the window: what the pages show goes into the document the user saves.
#include "gui/controllers/report_writer.hpp"
#include "protocol/codecs/config_record_codec.hpp"
#include "report/docx_reader.hpp"
#include "support/window_fixture.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <fstream>
#include <iterator>

using namespace torl7;
using namespace torl7::test;
namespace docx = torl7::testing;

namespace {

std::vector<std::uint8_t> readFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ReportWriterTest : public WindowFixture {
protected:
    ReportWriterTest() {
        writer = w().findChild<ReportWriter*>();
        writer->programDir =
            std::filesystem::path(TORL7_REPORT_TEMPLATE).parent_path().parent_path();
        writer->today = [] { return QDate(2026, 12, 8); };
        writer->askFileName = [this](const QString& name) {
            offeredName = name;
            return savePath;
        };
        savePath = dir.filePath(QStringLiteral("report.docx"));
    }

    void addEventRows(int count) {
        QTableWidget& grid = *protocol().StGr_prot;
        grid.setRowCount(count);
        for (int row = 0; row < count; ++row) {
            grid.setItem(row, 0, new QTableWidgetItem(QString::number(row + 1)));
            for (int column = 1; column <= 12; ++column) {
                grid.setItem(row, column,
                             new QTableWidgetItem(QStringLiteral("r%1c%2").arg(row).arg(column)));
            }
            grid.item(row, 2)->setText(row % 2 ? QStringLiteral("Вкл.") : QStringLiteral("Выкл."));
            grid.item(row, 3)->setText(QStringLiteral("Вкл."));
        }
    }

    QTemporaryDir dir;
    QString savePath;
    QString offeredName;
    ReportWriter* writer = nullptr;
};

} // namespace

TEST_F(ReportWriterTest, missingTemplateIsReportedAndNothingElseHappens) {
    QTemporaryDir empty;
    writer->programDir = empty.path().toStdString();
    writer->prot_save();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Не найден шаблон !"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral(" Норвик Ltd"));
    EXPECT_EQ(protocol().pb_prot->value(), 0);
    EXPECT_TRUE(offeredName.isEmpty());
    EXPECT_TRUE(line.writes.empty());
}

TEST_F(ReportWriterTest, savedDocumentHoldsTheNumberTheEventRowsAndThePagesSettings) {
    addEventRows(37);
    config().z_umin_v->setValue(185);
    config().z_umin_ok->setChecked(true);
    config().p_uf_c->setCurrentIndex(1);
    config().st_kia->setText(QStringLiteral("201"));
    protocol().st_nwa->setText(QStringLiteral("000123,4"));
    writer->prot_save();

    EXPECT_EQ(offeredName, QStringLiteral("ТОРЛ_№600_0812_26.docx"));
    ASSERT_EQ(boxes.texts(), QStringList{QStringLiteral("Протокол сохранен !")});
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral(" Норвик Ltd"));
    EXPECT_EQ(protocol().pb_prot->value(), 10);

    const auto xml = docx::readDocument(readFile(savePath));
    const std::string all = docx::textOf(xml->child("w:document").child("w:body"));
    EXPECT_NE(all.find("  600  "), std::string::npos);
    const auto tables = docx::tables(*xml);
    ASSERT_EQ(tables.size(), 3u);

    const auto events = docx::tableTexts(tables[0]);
    std::vector<std::vector<std::string>> dataRows;
    for (const auto& row : events) {
        if (!row.empty() && row[0].rfind("r", 0) == 0) {
            dataRows.push_back(row);
        }
    }
    ASSERT_EQ(dataRows.size(), 37u);
    EXPECT_EQ(dataRows[0][0], "r0c1");
    EXPECT_EQ(dataRows[0][1], "") << "Выкл. leaves the state cell empty";
    EXPECT_EQ(dataRows[1][1], docx::kTick) << "Вкл. is marked";
    EXPECT_EQ(dataRows[0][2], docx::kTick);
    EXPECT_EQ(dataRows[36][11], "r36c12");

    const auto settings = docx::tableTexts(tables[1]);
    ASSERT_GE(settings.size(), 44u);
    auto valueOf = [&](std::string_view label) -> std::string {
        for (const auto& row : settings) {
            if (row.size() >= 2 && row[0] == label) {
                return row[1];
            }
        }
        return "<missing>";
    };
    EXPECT_EQ(valueOf("    -  Минимальное напряжение (Umin)"), "ДА");
    EXPECT_EQ(valueOf("    -  Значение Umin, В"), "185");
    EXPECT_EQ(valueOf("    -  Время срабатывания Umin, сек"), "10,0");
    EXPECT_EQ(valueOf("    -  Контроль напряжений фаз:"), "   A/B");
    EXPECT_EQ(valueOf("    -  Калибровочный коэффициент Ia"), "201");
    EXPECT_EQ(valueOf("    -  Скорость передачи данных для RS485, бод/сек:"), "  9600");
    EXPECT_EQ(valueOf("    -  Время окончания сообщения Te, мС:"), "3");

    const auto accounting = docx::tableTexts(tables[2]);
    ASSERT_GE(accounting.size(), 5u);
    EXPECT_EQ(accounting[4][1], "000123,4");
}

TEST_F(ReportWriterTest, aNameWithoutExtensionIsSavedAsDocxStampedWithTheTimeItWasMade) {
    savePath = dir.filePath(QStringLiteral("отчёт"));
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    writer->prot_save();
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);
    ASSERT_EQ(boxes.texts(), QStringList{QStringLiteral("Протокол сохранен !")});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("отчёт.docx")});

    const std::string core =
        docx::readPart(readFile(dir.filePath(QStringLiteral("отчёт.docx"))), "docProps/core.xml");
    const auto made = [&](const char* element) {
        const std::size_t open = core.find(std::string("<dcterms:") + element);
        const std::size_t start = core.find('>', open) + 1;
        return QDateTime::fromString(
            QString::fromStdString(core.substr(start, core.find('<', start) - start)), Qt::ISODate);
    };
    for (const char* element : {"created", "modified"}) {
        EXPECT_GE(made(element), before) << element << " in " << core;
        EXPECT_LE(made(element), after) << element;
    }
}

TEST_F(ReportWriterTest, cancelledSaveDialogSavesNothingAndSaysNothing) {
    savePath.clear();
    writer->prot_save();
    EXPECT_FALSE(offeredName.isEmpty());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ReportWriterTest, saveIntoAFolderThatDoesNotExistIsReportedAndLeavesNothing) {
    savePath = dir.filePath(QStringLiteral("gone/report.docx"));
    writer->prot_save();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, RecordingMessageBoxes::Kind::Error);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ReportWriterTest, saveButtonStartsTheChainWithAConfigurationRead) {
    protocol().pb_prot->setValue(7);
    writer->btn_save_protClick();
    EXPECT_EQ(writer->chainStep(), ReportStep::Configuration);
    EXPECT_EQ(protocol().pb_prot->value(), 0);
    ASSERT_EQ(sentFrames().size(), 1u);
    EXPECT_EQ(sentFrames()[0], buildFrame(600, 2, {}));
}

TEST_F(ReportWriterTest, theChainsConfigurationReadFillsThePageAndMovesOnToTheAccountingSilently) {
    protocol().btn_save_prot->click();
    ConfigRecord record;
    record.tbMs = 42;
    const auto bytes = encodeConfigRecord(record);
    answer(kind::ConfigRead, Bytes(bytes.begin(), bytes.end()));
    EXPECT_EQ(config().sp_utb->value(), 42);
    EXPECT_EQ(writer->chainStep(), ReportStep::Accounting);
    EXPECT_EQ(sentFrames().back(), buildFrame(600, kind::AccountingRead, {}));
    EXPECT_TRUE(line.isOpen());
    EXPECT_TRUE(boxes.shown.empty());
}
