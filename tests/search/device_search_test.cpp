#include "app/control_expectations.hpp"
#include "gui/controllers/device_search.hpp"
#include "protocol/codecs/speed_change_codec.hpp"
#include "support/window_fixture.hpp"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

using namespace torl7;
using namespace torl7::test;

namespace {

const QString kFoundMessage = QStringLiteral("Процесс поиска завершен! Устройство найдено!");
const QString kNotFoundMessage =
    QStringLiteral("Процесс поиска завершен! Устройство не обнаружено!");
const QStringList kSpeedItems = {"    300", "    600", "  1200", "  2400", "  4800", "  9600",
                                 " 14400",  " 19200",  " 38400", " 57600", "115200"};

QString stepStatus(const QString& speedItem, int retry) {
    return QStringLiteral("Процесс: %1 бод/сек   повтор №%2").arg(speedItem).arg(retry);
}

// Selects the field's text and types `text` as the user would.
void typeInto(QSpinBox* field, const QString& text) {
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

// The user moves on to another control; the field corrects its text to its limits.
void leave(QWidget* field) {
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(field, &focusOut);
}

class DeviceSearchTest : public WindowFixture {
protected:
    DeviceSearchTest() {
        // The dialog is shown modally by "Поиск устройства"; here it is shown without blocking.
        dialog().show();
        dialog().frm2_zn->setValue(600);
    }

    DeviceSearch& search() { return *w().findChild<DeviceSearch*>(); }
    SearchDialog& dialog() { return *w().searchDialog(); }

    // One tick of the search timer, then the unit answers if it listens at `unitBaud` and
    // a ping went out at that speed.
    void tick(int unitBaud = 0) {
        const std::size_t before = line.writes.size();
        search().Timer1Timer();
        if (line.writes.size() > before && line.baudRate() == unitBaud) {
            answer(0, Bytes{5});
        }
    }

    QStringList statusLines;
};

} // namespace

TEST_F(DeviceSearchTest, unitAt9600IsFoundAtItsFirstPingThereAndTheToolStaysThere) {
    search().Button1Click();
    EXPECT_EQ(dialog().Button1->text(), QStringLiteral("Остановить поиск"));
    EXPECT_EQ(dialog().lser->text(), QStringLiteral("Процесс:... "));
    EXPECT_TRUE(dialog().Timer1->isActive());
    EXPECT_EQ(line.baudRate(), 300);

    QString statusWhileBoxOpen;
    boxes.whileOpen = [&](const auto&) { statusWhileBoxOpen = dialog().lser->text(); };
    while (dialog().Timer1->isActive() && statusLines.size() < 40) {
        tick(9600);
        statusLines << dialog().lser->text();
    }

    QStringList expected;
    for (const QString& item : kSpeedItems.mid(0, 5)) {
        expected << stepStatus(item, 1) << stepStatus(item, 2);
    }
    expected << stepStatus("  9600", 1) << "Найдено устройство: скорость   9600 бод/сек";
    EXPECT_EQ(statusLines, expected);
    EXPECT_EQ(statusWhileBoxOpen, stepStatus("  9600", 2)) << "the found line follows the box";

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, RecordingMessageBoxes::Kind::Information);
    EXPECT_EQ(boxes.shown[0].text, kFoundMessage);
    EXPECT_EQ(boxes.shown[0].caption, QString());
    EXPECT_EQ(sentFrames(), std::vector<Bytes>(11, pingFrame(600)))
        << "two pings at each lower speed, one at 9600, none after the answer";
    EXPECT_EQ(diag().cb_speed->currentIndex(), 5);
    EXPECT_EQ(line.baudRate(), 9600);
    EXPECT_TRUE(line.isOpen());
    EXPECT_EQ(dialog().Button1->text(), QStringLiteral("Начать поиск"));
    EXPECT_EQ(dialog().pb_search->value(), 34);
    EXPECT_EQ(search().operation().step(), UnitSearch::Step::Found);
    // The pings are not requests of the transmitter: not counted, no timeout, no idle close.
    EXPECT_EQ(diag().st_txd->text(), QStringLiteral("0"));
    EXPECT_FALSE(session().answerTimeoutArmed().has_value());
    EXPECT_FALSE(session().idleCloseArmed().has_value());
}

TEST_F(DeviceSearchTest, withoutAUnitItSends22PingsOverEverySpeedIn4500msAndStaysAt115200) {
    QList<int> progress;
    QObject::connect(dialog().pb_search, &QProgressBar::valueChanged,
                     [&](int value) { progress << value; });
    search().Button1Click();
    int elapsedMs = dialog().Timer1->interval();
    QList<int> baudOfEachPing;
    while (dialog().Timer1->isActive() && baudOfEachPing.size() < 40) {
        const std::size_t before = line.writes.size();
        tick();
        if (line.writes.size() > before) {
            baudOfEachPing << line.baudRate();
        }
        if (dialog().Timer1->isActive()) {
            elapsedMs += dialog().Timer1->interval();
        }
    }

    QList<int> expectedBaud;
    for (int baud : {300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200}) {
        expectedBaud << baud << baud;
    }
    EXPECT_EQ(baudOfEachPing, expectedBaud);
    EXPECT_EQ(elapsedMs, 4500) << "the 23rd tick ends the search 4.5 s after the start";
    QList<int> expectedProgress;
    for (int step = 1; step <= 23; ++step) {
        expectedProgress << step;
    }
    expectedProgress << 34;
    EXPECT_EQ(progress, expectedProgress);
    EXPECT_EQ(boxes.texts(), QStringList{kNotFoundMessage});
    EXPECT_EQ(diag().cb_speed->currentText(), QStringLiteral("115200"));
    EXPECT_EQ(line.baudRate(), 115200);
    EXPECT_TRUE(line.isOpen());
    EXPECT_EQ(search().operation().step(), UnitSearch::Step::AllSpeedsTried);
    EXPECT_EQ(dialog().lser->text(), stepStatus("115200", 1));
}

TEST_F(DeviceSearchTest, stopClosesThePortAndSendsNothingMoreAndARestartBeginsAgainAt300) {
    search().Button1Click();
    for (int i = 0; i < 3; ++i) {
        tick();
    }
    line.clearWritten();
    int progressWhileBoxOpen = -1;
    boxes.whileOpen = [&](const auto&) { progressWhileBoxOpen = dialog().pb_search->value(); };
    search().Button1Click();

    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(dialog().Timer1->isActive());
    EXPECT_EQ(dialog().Button1->text(), QStringLiteral("Начать поиск"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Процесс поиска остановлен!"));
    EXPECT_EQ(boxes.shown[0].caption, QString());
    EXPECT_EQ(progressWhileBoxOpen, 3);
    EXPECT_EQ(dialog().pb_search->value(), 34);
    EXPECT_TRUE(line.writes.empty());

    boxes.whileOpen = nullptr;
    search().Button1Click();
    EXPECT_EQ(dialog().pb_search->value(), 0);
    tick();
    EXPECT_EQ(dialog().lser->text(), stepStatus("    300", 1));
    EXPECT_EQ(line.baudRate(), 300);
}

TEST_F(DeviceSearchTest, closingTheDialogLetsExactlyOneMorePingGoWithoutAMessage) {
    search().Button1Click();
    tick();
    tick();
    dialog().hide();
    line.clearWritten();
    tick();
    EXPECT_EQ(sentFrames(), std::vector<Bytes>{pingFrame(600)});
    EXPECT_FALSE(dialog().Timer1->isActive());
    EXPECT_EQ(dialog().Button1->text(), QStringLiteral("Начать поиск"));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DeviceSearchTest, anEmptyAnswerOrAWrongSumDoesNotEndTheSearch) {
    search().Button1Click();
    tick();
    // Not the ping's echo (another number), so it reaches the command-0 handling.
    line.feed(toQByteArray(buildFrame(601, 0, {})));
    EXPECT_EQ(diag().st_rxd->text(), QStringLiteral("1"));
    Bytes corrupt = buildFrame(600, 0, Bytes{5});
    corrupt.back() ^= 1;
    line.feed(toQByteArray(corrupt));
    EXPECT_EQ(search().operation().step(), UnitSearch::Step::Pinging);
    EXPECT_EQ(search().operation().speedIndex(), 0);
    line.clearWritten();
    tick();
    tick();
    EXPECT_EQ(sentFrames().size(), 2u);
    EXPECT_TRUE(dialog().Timer1->isActive());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DeviceSearchTest, theSearchStartsFromItsOpenPortWithNoLeftoverTimerToCloseIt) {
    ASSERT_FALSE(session().openPort());
    session().request(kind::ConfigRead, {}, nullptr);
    ASSERT_TRUE(session().idleCloseArmed().has_value());
    search().Button1Click();
    EXPECT_FALSE(session().answerTimeoutArmed().has_value())
        << "a lost earlier answer would close the port";
    EXPECT_FALSE(session().idleCloseArmed().has_value())
        << "the idle close would end the search after 3 s";
    EXPECT_TRUE(line.isOpen());
}

TEST_F(DeviceSearchTest, aNumberTypedBelow100BringsBothWindowsTo100WhenTheFieldIsLeft) {
    ASSERT_EQ(diag().frm1_zn->value(), 600);
    typeInto(dialog().frm2_zn, "50");
    EXPECT_EQ(dialog().frm2_zn->text(), QStringLiteral("50")) << "the digits typed stay";
    EXPECT_EQ(diag().frm1_zn->value(), 600);
    leave(dialog().frm2_zn);
    EXPECT_EQ(diag().frm1_zn->value(), 100);
    EXPECT_EQ(dialog().frm2_zn->text(), QStringLiteral("100"));
    EXPECT_EQ(diag().cb_speed->currentText(), QStringLiteral(" 14400"));
    EXPECT_EQ(line.baudRate(), 14400);

    // With 100 already shown in the main window its speed is not chosen again.
    diag().cb_speed->setCurrentIndex(3);
    typeInto(dialog().frm2_zn, "50");
    leave(dialog().frm2_zn);
    EXPECT_EQ(dialog().frm2_zn->text(), QStringLiteral("100"));
    EXPECT_EQ(diag().frm1_zn->value(), 100);
    EXPECT_EQ(diag().cb_speed->currentIndex(), 3);
}

TEST_F(DeviceSearchTest, aNumberWithinTheLimitsFollowsAsItIsTypedAndOthersWhenLeft) {
    QList<int> mainNumbers;
    QObject::connect(diag().frm1_zn, &QSpinBox::valueChanged,
                     [&](int value) { mainNumbers << value; });
    typeInto(dialog().frm2_zn, "7000");
    EXPECT_EQ(mainNumbers, (QList<int>{700, 7000}));
    EXPECT_EQ(dialog().frm2_zn->text(), QStringLiteral("7000"));
    EXPECT_EQ(diag().cb_speed->currentText(), QStringLiteral("115200"));

    typeInto(dialog().frm2_zn, "99999");
    EXPECT_EQ(diag().frm1_zn->value(), 9999) << "the last number within the limits";
    leave(dialog().frm2_zn);
    EXPECT_EQ(diag().frm1_zn->value(), 65535);
    EXPECT_EQ(dialog().frm2_zn->text(), QStringLiteral("65535"));

    typeInto(dialog().frm2_zn, "");
    EXPECT_EQ(diag().frm1_zn->value(), 65535);
    leave(dialog().frm2_zn);
    EXPECT_EQ(diag().frm1_zn->value(), 100) << "an empty field counts as 100";
    EXPECT_EQ(dialog().frm2_zn->text(), QStringLiteral("100"));

    diag().frm1_zn->setValue(650);
    EXPECT_EQ(dialog().frm2_zn->text(), QStringLiteral("650"));
}

TEST(DeviceSearchPorts, aPortPickedInTheDialogClosesThePortAndIsUsedByTheNextOpening) {
    FakeSerialLine line;
    RecordingMessageBoxes boxes;
    MainWindow window(line, boxes, {{"ttyUSB0", "/dev/ttyUSB0"}, {"ttyUSB1", "/dev/ttyUSB1"}});
    auto& search = *window.findChild<DeviceSearch*>();
    ASSERT_FALSE(window.session().openPort());
    window.searchDialog()->cmbPorts->setCurrentIndex(1);
    search.cmbPortsChange();
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(window.TabSheet2->cmbPorts->currentIndex(), 1);
    ASSERT_FALSE(window.session().openPort());
    EXPECT_EQ(line.lastPortName, QStringLiteral("/dev/ttyUSB1"));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(DeviceSearchPorts, withNoPortTheSearchSaysSoAndDoesNotStart) {
    FakeSerialLine line;
    RecordingMessageBoxes boxes;
    MainWindow window(line, boxes, {});
    boxes.clear();
    window.searchDialog()->show();
    window.findChild<DeviceSearch*>()->Button1Click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Не найден СОМ-порт!"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("  Норвик Ltd"));
    EXPECT_FALSE(window.searchDialog()->Timer1->isActive());
    EXPECT_EQ(window.searchDialog()->Button1->text(), QStringLiteral("Начать поиск"));
}
