#include "gui/dialogs/search_dialog.hpp"

#include "app/control_expectations.hpp"

#include <QApplication>
#include <QLayout>
#include <QTimer>

using namespace torl7;
using namespace torl7::testing;

namespace {

class SearchDialogTest : public ::testing::Test {
protected:
    SearchDialog dialog;
};

TEST_F(SearchDialogTest, controlsStartAtUnit100WithAnEmptyPortListAndIdleStatus) {
    EXPECT_EQ(dialog.windowTitle(), "   Поиск устройства");
    expectControls<SpinEdit>(&dialog, {{"frm2_zn", 100, 65535, 100, {"Зав. №:"}}});
    expectControls<DropDown>(&dialog, {{"cmbPorts", {}, -1, {"COM-порт"}, {}, true}});
    expectControls<ProgressBar>(&dialog, {{"pb_search", 0, 34}});
    expectControls<Button>(&dialog, {{"Button1", "Начать поиск"}});
    auto* status = findControl<QLabel>(&dialog, "lser");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), "Процесс...");
    EXPECT_EQ(captionsOf(&dialog, dialog.cmbPorts).front().left(3), "COM")
        << "the caption's COM is Latin";
}

TEST_F(SearchDialogTest, stepTimerIsSetTo800msAndNotRunning) {
    auto* timer = dialog.findChild<QTimer*>("Timer1");
    ASSERT_EQ(timer, dialog.Timer1);
    EXPECT_EQ(timer->interval(), 800);
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(timer->isSingleShot()) << "the search steps on every tick";
}

TEST_F(SearchDialogTest, dialogHasOnlyACloseBoxAndCannotBeResized) {
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
}

TEST_F(SearchDialogTest, longestStatusLineFitsTheFixedDialog) {
    dialog.show();
    QApplication::processEvents();
    const int room = dialog.lser->contentsRect().width();
    for (const QString& status :
         {QString("Найдено устройство: скорость 115200 бод/сек"),
          QString("Процесс:     300 бод/сек   повтор №2"), QString("Процесс:... ")}) {
        SCOPED_TRACE(status.toStdString());
        EXPECT_LE(dialog.lser->fontMetrics().horizontalAdvance(status), room);
    }
}

TEST_F(SearchDialogTest, membersPointAtTheControlsOfTheirNames) {
    expectMembersNamed({
        TORL7_MEMBER(dialog, frm2_zn),
        TORL7_MEMBER(dialog, cmbPorts),
        TORL7_MEMBER(dialog, lser),
        TORL7_MEMBER(dialog, pb_search),
        TORL7_MEMBER(dialog, Button1),
        TORL7_MEMBER(dialog, Timer1),
    });
    expectNothingClippedOrOverlapping(&dialog);
}

} // namespace
