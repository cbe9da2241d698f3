// The window's exports: what the pages show goes into the files, the dialogs' refusals, and a
// failed write that leaves nothing behind.
#include "diag/diagnostics_fixture.hpp"
#include "documents/comtrade_reader.hpp"
#include "gui/controllers/exports.hpp"
#include "gui/pages/config_page.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace torl7;
using namespace torl7::test;

namespace {

class ExportsTest : public DiagnosticsTest {
protected:
    ExportsTest() {
        exports = w().findChild<Exports*>();
        exports->today = [] { return QDate(2026, 12, 8); };
        exports->askSaveName = [this](const QString& name, const QString&) {
            offeredNames << name;
            return savePath;
        };
        exports->askWaveformExport = [this] { return choice; };
    }

    // One poll sequence of the view `phases` drawn on the chart.
    void drawWaveforms(int phases) {
        diag().cmb_m->setCurrentIndex(phases);
        start();
        for (int request = 0; request <= phases; ++request) {
            answerPending();
        }
        ASSERT_TRUE(exports->lastDrawn().has_value());
        poll().diagnosClick(); // stop
    }

    QByteArray saved(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString savePath;
    QStringList offeredNames;
    std::optional<WaveformExportChoice> choice;
    Exports* exports = nullptr;
};

TEST_F(ExportsTest, eventsCsvHoldsTheGridsNumberedRowsWithSemicolons) {
    QTableWidget& grid = *protocol().StGr_prot;
    grid.setRowCount(3);
    for (int row = 0; row < 2; ++row) {
        grid.setItem(row, 0, new QTableWidgetItem(QString::number(row + 1)));
        for (int column = 1; column <= 12; ++column) {
            grid.setItem(row, column,
                         new QTableWidgetItem(QStringLiteral("r%1c%2").arg(row).arg(column)));
        }
    }
    grid.item(1, 8)->setText(QStringLiteral("12,5"));
    grid.item(1, 4)->setText(QStringLiteral("Утечка; тока"));
    savePath = dir.filePath(QStringLiteral("events.csv"));
    protocol().btn_save_csv->click();

    EXPECT_EQ(offeredNames, QStringList{QStringLiteral("ТОРЛ_№600_0812_26_события.csv")});
    EXPECT_TRUE(boxes.shown.empty());
    const QByteArray bytes = saved(savePath);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << "UTF-8 byte-order mark";
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 4) << "title line, two events (the row without a number ends "
                                  "the protocol), nothing after the last line end";
    EXPECT_EQ(lines[0], QStringLiteral("Дата/Время;ТОРЛ;Обор.;Защита;Ua, В;Ub, В;Uc, В;"
                                       "Ia, A;Ib, A;Ic, A;Iут, А;cos f"));
    EXPECT_EQ(lines[1], QStringLiteral("r0c1;r0c2;r0c3;r0c4;r0c5;r0c6;r0c7;r0c8;r0c9;r0c10;r0c11;"
                                       "r0c12"));
    EXPECT_EQ(lines[2], QStringLiteral("r1c1;r1c2;r1c3;\"Утечка; тока\";r1c5;r1c6;r1c7;12,5;r1c9;"
                                       "r1c10;r1c11;r1c12"));
    EXPECT_TRUE(lines[3].isEmpty());
}

TEST_F(ExportsTest, aCancelledDialogWritesNothingAndAFailedWriteSaysWhichFile) {
    protocol().btn_save_csv->click(); // savePath empty: cancelled
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    savePath = dir.filePath(QStringLiteral("gone/events.csv"));
    protocol().btn_save_csv->click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, RecordingMessageBoxes::Kind::Error);
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("gone")))
        << boxes.shown[0].text.toStdString();
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral(" Норвик Ltd"));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ExportsTest, waveformsLastDrawnGoToComtradeWithTheRateGivenAndTheRawSamples) {
    config().oust_text->setText(QStringLiteral("КНС-2 насос 3"));
    diag().frm1_zn->setValue(1234);
    drawWaveforms(2);
    choice = WaveformExportChoice{2000, WaveformFormat::Comtrade};
    savePath = dir.filePath(QStringLiteral("trip.cfg"));
    diag().btn_save_waves->click();

    EXPECT_TRUE(boxes.shown.empty()) << boxes.texts().join(' ').toStdString();
    EXPECT_EQ(offeredNames, QStringList{QStringLiteral("ТОРЛ_№1234_0812_26_осциллограммы.cfg")});
    const auto got = readComtrade(saved(dir.filePath(QStringLiteral("trip.cfg"))).toStdString(),
                                  saved(dir.filePath(QStringLiteral("trip.dat"))).toStdString());
    ASSERT_TRUE(got.record) << got.error.text();
    const ComtradeRecord& read = *got.record;
    EXPECT_EQ(read.station, "КНС-2 насос 3");
    EXPECT_EQ(read.device, "1234");
    ASSERT_EQ(read.rates.size(), 1u);
    EXPECT_EQ(read.rates[0].first, 2000);
    const std::vector<std::string> names = {"Ua", "Ub", "Ia", "Ib"};
    ASSERT_EQ(read.analogs.size(), names.size()) << "the two phases of the view, no more";
    for (std::size_t n = 0; n < names.size(); ++n) {
        EXPECT_EQ(read.analogs[n].id, names[n]);
        const WaveformBlock sent = block(static_cast<std::uint8_t>(1 + n % 2));
        const auto& samples = n < 2 ? sent.voltage : sent.current;
        for (std::size_t i = 0; i < kWaveformSamples; ++i) {
            ASSERT_EQ(read.samples[n][i], samples[i]) << names[n] << " " << i;
        }
    }

    // 2013: one file, named .cff even when the name typed has no suffix.
    choice = WaveformExportChoice{2000, WaveformFormat::Comtrade, ComtradeFormat::Cff2013};
    savePath = dir.filePath(QStringLiteral("trip2013"));
    diag().btn_save_waves->click();
    EXPECT_EQ(offeredNames.last(), QStringLiteral("ТОРЛ_№1234_0812_26_осциллограммы.cff"));
    const auto cff = readComtradeCff(saved(savePath + ".cff").toStdString());
    ASSERT_TRUE(cff.record) << cff.error.text();
    EXPECT_EQ(cff.record->revision, 2013);
    EXPECT_EQ(cff.record->samples, read.samples);
}

TEST_F(ExportsTest, waveformsNeedADrawingAndTheDialogsAnswer) {
    choice = WaveformExportChoice{2000, WaveformFormat::Csv};
    savePath = dir.filePath(QStringLiteral("trip.csv"));
    diag().btn_save_waves->click();
    EXPECT_EQ(boxes.texts(),
              QStringList{QStringLiteral("Осциллограммы ещё не получены: включите диагностику с "
                                         "просмотром фаз.")});
    EXPECT_TRUE(offeredNames.isEmpty());

    drawWaveforms(1);
    choice.reset(); // the dialog cancelled
    diag().btn_save_waves->click();
    EXPECT_TRUE(offeredNames.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    choice = WaveformExportChoice{1562.5, WaveformFormat::Csv};
    diag().btn_save_waves->click();
    const QByteArray csv = saved(savePath);
    EXPECT_TRUE(csv.startsWith("\xEF\xBB\xBF№;t, мс;Ua;Ia\r\n1;0;")) << csv.left(60).toStdString();
    EXPECT_TRUE(csv.contains("\r\n2;0,64;")) << "1 / 1562.5 Hz = 0.64 ms";
}

// The dialog lets the export go only with a rate above zero.
TEST(WaveformExportDialog, saveIsEnabledOnlyForARateAboveZero) {
    WaveformExportDialog dialog;
    const std::pair<const char*, bool> cases[] = {
        {"", false}, {"0", false}, {"-1", false}, {"abc", false}, {"2000", true}, {"1562,5", true},
    };
    QPushButton* save = dialog.buttons->button(QDialogButtonBox::Save);
    for (const auto& [text, enabled] : cases) {
        dialog.ed_rate->setText(QString::fromUtf8(text));
        EXPECT_EQ(save->isEnabled(), enabled) << text;
        EXPECT_EQ(dialog.choice().has_value(), enabled) << text;
    }
    const std::pair<WaveformFormat, ComtradeFormat> items[] = {
        {WaveformFormat::Comtrade, ComtradeFormat::Ascii1999},
        {WaveformFormat::Comtrade, ComtradeFormat::Binary1999},
        {WaveformFormat::Comtrade, ComtradeFormat::Cff2013},
        {WaveformFormat::Csv, ComtradeFormat::Ascii1999},
    };
    ASSERT_EQ(dialog.cb_format->count(), 4);
    for (int i = 0; i < 4; ++i) {
        dialog.cb_format->setCurrentIndex(i);
        EXPECT_EQ(dialog.choice()->format, items[i].first) << i;
        if (items[i].first == WaveformFormat::Comtrade) {
            EXPECT_EQ(dialog.choice()->comtrade, items[i].second) << i;
        }
    }
    EXPECT_EQ(dialog.choice()->sampleRate, 1562.5);
}

} // namespace
