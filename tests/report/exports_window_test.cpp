// The window's exports: what the pages show goes into the files, the dialogs' refusals, and a
// failed write that leaves nothing behind.
#include "gui/controllers/exports.hpp"
#include "support/window_fixture.hpp"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace torl7;
using namespace torl7::test;

namespace {

class ExportsTest : public WindowFixture {
protected:
    ExportsTest() {
        exports = w().findChild<Exports*>();
        exports->today = [] { return QDate(2026, 12, 8); };
        exports->askSaveName = [this](const QString& name, const QString&) {
            offeredNames << name;
            return savePath;
        };
    }

    QByteArray saved(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString savePath;
    QStringList offeredNames;
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

} // namespace
