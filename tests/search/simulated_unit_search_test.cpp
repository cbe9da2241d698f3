// The search and the RS485 speed change against the simulated unit over a real
// pseudo-terminal, with the real timers and Qt's serial port. The unit's speeds are slow
// ones: their steps wait 400 ms and more for an answer, which a loaded machine running the
// tests under the sanitizers still meets (at 9600 baud and above a step waits 50 ms).
#include "gui/controllers/device_search.hpp"
#include "gui/controllers/rs485_speed.hpp"
#include "gui/dialogs/search_dialog.hpp"
#include "gui/main_window.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"
#include "protocol/codecs/speed_change_codec.hpp"
#include "session/qt_serial_line.hpp"
#include "sim/simulated_unit.hpp"
#include "support/recording_message_boxes.hpp"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace torl7;
using namespace torl7::test;

namespace {

constexpr int kPatienceMs = 20000;

class SimulatedUnitSearch : public ::testing::Test {
protected:
    void startUnit(int unitBaud, bool askToFollow) {
        sim::SimOptions options;
        options.unit.lineSpeedBaud = unitBaud;
        options.unit.askToFollowSpeedChange = askToFollow;
        const QString port = QString::fromStdString(unit.start(options));
        window = std::make_unique<MainWindow>(line, boxes, portList({port}, false));
    }
    ~SimulatedUnitSearch() override { unit.stop(); }

    // The tool talks at `speedIndex` from now on.
    void setPcSpeed(int speedIndex) {
        window->TabSheet2->cb_speed->setCurrentIndex(speedIndex);
        window->cb_speedChange();
    }

    // Pings the unit at the tool's current speed; true when it answers.
    bool answersPing() {
        UnitSession& link = window->session();
        if (link.openPort()) {
            return false;
        }
        link.probe(pingFrame(600), nullptr);
        return QTest::qWaitFor([&] { return link.lastFrame().has_value(); }, 1000);
    }

    sim::SimulatedUnit unit;
    QtSerialLine line;
    RecordingMessageBoxes boxes;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST_F(SimulatedUnitSearch, findsTheUnitAtTheSpeedItWasSetTo) {
    startUnit(600, false);
    SearchDialog& dialog = *window->searchDialog();
    dialog.show();
    dialog.frm2_zn->setValue(600);
    window->findChild<DeviceSearch*>()->Button1Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Timer1->isActive(); }, kPatienceMs));

    EXPECT_EQ(boxes.texts(), QStringList{"Процесс поиска завершен! Устройство найдено!"});
    EXPECT_EQ(dialog.lser->text(), QStringLiteral("Найдено устройство: скорость     600 бод/сек"));
    EXPECT_EQ(window->TabSheet2->cb_speed->currentIndex(), 1);
    EXPECT_TRUE(line.isOpen());
    EXPECT_EQ(line.baudRate(), 600);
    EXPECT_TRUE(answersPing()) << "the tool is left where the unit listens";
}

TEST_F(SimulatedUnitSearch, speedChangeMovesAFollowingUnitAndTheToolGoesWithIt) {
    startUnit(300, true);
    setPcSpeed(0);
    Rs485SpeedChange& change = *window->findChild<Rs485SpeedChange*>();
    QComboBox* unitSpeed = window->TabSheet1->cb_rs485;
    boxes.answers.push_back(MessageBoxes::Answer::Yes);
    unitSpeed->setCurrentIndex(1);
    emit unitSpeed->activated(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !change.operation().stepTimerArmed(); }, kPatienceMs));

    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.back().text,
              QStringLiteral("Процесс изменения скорости RS485 успешно завершен!"));
    EXPECT_EQ(window->TabSheet2->cb_speed->currentIndex(), 1);
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(window->session().lineHeld());
    EXPECT_TRUE(answersPing()) << "the unit listens at 600 now";
    setPcSpeed(0);
    EXPECT_FALSE(answersPing()) << "and no longer at 300";
}

TEST_F(SimulatedUnitSearch, speedChangeOfAUnitThatDoesNotAskToFollowLeavesTheToolWhereItIs) {
    startUnit(300, false);
    setPcSpeed(0);
    Rs485SpeedChange& change = *window->findChild<Rs485SpeedChange*>();
    QComboBox* unitSpeed = window->TabSheet1->cb_rs485;
    boxes.answers.push_back(MessageBoxes::Answer::Yes);
    unitSpeed->setCurrentIndex(3);
    emit unitSpeed->activated(3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !change.operation().stepTimerArmed(); }, kPatienceMs));

    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.back().text,
              QStringLiteral("Процесс изменения скорости RS485 успешно завершен!"));
    EXPECT_EQ(window->TabSheet2->cb_speed->currentIndex(), 0);
    EXPECT_TRUE(answersPing()) << "its line to the PC kept 300";
}
