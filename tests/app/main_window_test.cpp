#include "gui/controllers/diagnostics.hpp"
#include "support/window_fixture.hpp"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

using namespace torl7;
using namespace torl7::test;

namespace {

class MainWindowTest : public WindowFixture {};

} // namespace

TEST_F(MainWindowTest, startsOnTheDiagnosticsTabWithItsTitleAndNothingOpen) {
    EXPECT_EQ(w().windowTitle(),
              QStringLiteral("Диагностика и программирование ТОРЛ-7      v16.9"));
    EXPECT_FALSE(w().windowFlags() & Qt::WindowMaximizeButtonHint);
    ASSERT_EQ(w().PageControl1->count(), 3);
    EXPECT_EQ(w().PageControl1->tabText(0), QStringLiteral("Конфигурация"));
    EXPECT_EQ(w().PageControl1->tabText(1), QStringLiteral("Диагностика"));
    EXPECT_EQ(w().PageControl1->tabText(2), QStringLiteral("Протокол"));
    EXPECT_EQ(w().PageControl1->currentIndex(), 1);
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(session().answerTimeoutArmed().has_value());
    EXPECT_FALSE(session().idleCloseArmed().has_value());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindowTest, portListsOfBothWindowsHoldTheFoundPortsFirstSelected) {
    for (QComboBox* list : {diag().cmbPorts, w().searchDialog()->cmbPorts}) {
        ASSERT_EQ(list->count(), 1);
        EXPECT_EQ(list->currentIndex(), 0);
        EXPECT_EQ(list->currentText(), QStringLiteral("ttyUSB0"));
    }
}

TEST(MainWindowStartUp, withNoPortItSaysSoAndStillStarts) {
    FakeSerialLine line;
    RecordingMessageBoxes boxes;
    MainWindow window(line, boxes, {});
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Не найден СОМ-порт!"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("  Норвик Ltd"));
    EXPECT_EQ(window.TabSheet2->cmbPorts->count(), 0);
    EXPECT_EQ(window.searchDialog()->cmbPorts->count(), 0);
}

TEST_F(MainWindowTest, tabChangeStopsThePollAndClosesThePortButLeavesTheTimeoutRunning) {
    diag().diagnos->click();
    ASSERT_FALSE(session().openPort());
    session().request(kind::ConfigRead, {}, nullptr);
    w().PageControl1->setCurrentIndex(0);
    EXPECT_EQ(diag().diagnos->text(), kDiagnosStopped);
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(session().idleCloseArmed().has_value());
    EXPECT_TRUE(session().answerTimeoutArmed().has_value())
        << "the missing answer is still reported";
}

TEST_F(MainWindowTest, factoryNumberBelow600SwitchesTo14400AndBackTo115200) {
    ASSERT_FALSE(session().openPort());
    diag().frm1_zn->setValue(599);
    EXPECT_EQ(diag().cb_speed->currentIndex(), 6);
    EXPECT_EQ(line.baudRate(), 14400) << "applies to the open port at once";
    EXPECT_EQ(w().searchDialog()->frm2_zn->value(), 599);
    diag().frm1_zn->setValue(600);
    EXPECT_EQ(diag().cb_speed->currentIndex(), 10);
    EXPECT_EQ(line.baudRate(), 115200);
    // Every request carries the number now shown.
    diag().frm1_zn->setValue(65535);
    session().request(kind::ConfigRead, {}, nullptr);
    EXPECT_EQ(sentFrames().back(), buildFrame(65535, 2, {}));
}

TEST_F(MainWindowTest, choosingASpeedOrAPortStopsThePoll) {
    diag().diagnos->click();
    diag().cb_speed->setCurrentIndex(5);
    w().cb_speedChange();
    EXPECT_EQ(diag().diagnos->text(), kDiagnosStopped);
    EXPECT_EQ(line.baudRate(), 9600);

    ASSERT_FALSE(session().openPort());
    diag().diagnos->click();
    w().cmbPortsChange();
    EXPECT_EQ(diag().diagnos->text(), kDiagnosStopped);
    EXPECT_FALSE(line.isOpen()) << "a port change closes the port at once";
}

TEST_F(MainWindowTest, closingTheWindowClosesThePort) {
    ASSERT_FALSE(session().openPort());
    w().close();
    EXPECT_FALSE(line.isOpen());
}

TEST_F(MainWindowTest, deviceSearchButtonStopsThePollButLeavesThePortOpen) {
    ASSERT_FALSE(session().openPort());
    diag().diagnos->click();
    bool shown = false;
    QTimer::singleShot(0, w().searchDialog(), [&] {
        shown = w().searchDialog()->isVisible();
        w().searchDialog()->reject();
    });
    w().Button6Click();
    EXPECT_TRUE(shown);
    EXPECT_EQ(diag().diagnos->text(), kDiagnosStopped);
    EXPECT_TRUE(line.isOpen());
}
