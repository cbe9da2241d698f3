#include "gui/controllers/diagnostics.hpp"
#include "support/window_fixture.hpp"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
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
    ASSERT_EQ(w().PageControl1->count(), 5);
    EXPECT_EQ(w().PageControl1->tabText(0), QStringLiteral("Конфигурация"));
    EXPECT_EQ(w().PageControl1->tabText(1), QStringLiteral("Диагностика"));
    EXPECT_EQ(w().PageControl1->tabText(2), QStringLiteral("Протокол"));
    EXPECT_EQ(w().PageControl1->tabText(3), QStringLiteral("Подстанция"));
    EXPECT_EQ(w().PageControl1->tabText(4), QStringLiteral("Журнал"));
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

TEST_F(MainWindowTest, aTypedPortJoinsBothListsAfterTheFoundOnesAndIsOpened) {
    QComboBox* main = diag().cmbPorts;
    QComboBox* search = w().searchDialog()->cmbPorts;
    const auto type = [](QComboBox* box, const QString& text) {
        box->setEditText(text);
        emit box->lineEdit()->editingFinished();
    };
    struct Step {
        QComboBox* typedIn;
        QString text;
        QStringList items; // of both lists
        int chosen;
        bool changesPort; // chosen as from the list: the port open before is closed
    };
    const QString server = QStringLiteral("rfc2217://10.0.0.7:4001");
    const QString raw = QStringLiteral("tcp://10.0.0.8:4001");
    const Step steps[] = {
        {main, server, {"ttyUSB0", server}, 1, true},
        {main, QStringLiteral("ttyUSB0"), {"ttyUSB0", server}, 0, true},
        {search, raw, {"ttyUSB0", server, raw}, 2, true},
        {main, QStringLiteral("  "), {"ttyUSB0", server, raw}, 2, false},
        {main, raw, {"ttyUSB0", server, raw}, 2, false},
        {search, server, {"ttyUSB0", server, raw}, 1, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.text.toStdString());
        ASSERT_FALSE(session().openPort());
        type(step.typedIn, step.text);
        for (QComboBox* list : {main, search}) {
            QStringList items;
            for (int i = 0; i < list->count(); ++i) {
                items << list->itemText(i);
            }
            EXPECT_EQ(items, step.items);
            EXPECT_EQ(list->currentIndex(), step.chosen);
        }
        EXPECT_EQ(session().portName(), step.items[step.chosen]);
        EXPECT_EQ(line.isOpen(), !step.changesPort);
    }
    ASSERT_FALSE(session().openPort());
    EXPECT_EQ(line.lastPortName, server) << "the typed text is what is opened";
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
