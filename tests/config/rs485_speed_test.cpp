#include "app/control_expectations.hpp"
#include "gui/controllers/device_search.hpp"
#include "gui/controllers/diagnostics.hpp"
#include "gui/controllers/rs485_speed.hpp"
#include "gui/controllers/trip_curve_editor.hpp"
#include "protocol/codecs/config_record_codec.hpp"
#include "protocol/codecs/speed_change_codec.hpp"
#include "support/window_fixture.hpp"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

using namespace torl7;
using namespace torl7::test;

namespace {

const QString kStopped = QStringLiteral("Процесс изменения скорости RS485 остановлен!");
const QString kNoAnswerCaption = QStringLiteral("Устройство не отвечает!");
const QString kSucceeded = QStringLiteral("Процесс изменения скорости RS485 успешно завершен!");
const QString kSucceededCaption = QStringLiteral("Скорость установлена!");

class Rs485SpeedTest : public WindowFixture {
protected:
    Rs485SpeedChange& change() { return *w().findChild<Rs485SpeedChange*>(); }
    std::optional<int> stepTimer() { return change().operation().stepTimerArmed(); }

    // The user picks the unit's new speed and answers the question.
    void pick(int index, MessageBoxes::Answer answer = MessageBoxes::Answer::Yes) {
        boxes.answers.push_back(answer);
        config().cb_rs485->setCurrentIndex(index);
        emit config().cb_rs485->activated(index);
    }

    void expectEndedWith(const QString& text, const QString& caption) {
        ASSERT_FALSE(boxes.shown.empty());
        EXPECT_EQ(boxes.shown.back().kind, RecordingMessageBoxes::Kind::Information);
        EXPECT_EQ(boxes.shown.back().text, text);
        EXPECT_EQ(boxes.shown.back().caption, caption);
        EXPECT_FALSE(stepTimer().has_value());
        EXPECT_FALSE(line.isOpen());
        EXPECT_EQ(change().operation().step(), Rs485SpeedChange::Step::Idle);
        EXPECT_FALSE(session().lineHeld());
    }
};

} // namespace

TEST_F(Rs485SpeedTest, answeringNoCancelsButTheComboKeepsThePickedSpeed) {
    pick(7, MessageBoxes::Answer::No);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].kind, RecordingMessageBoxes::Kind::Question);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Внимание скорость RS485 будет изменена! Продолжить?"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral(" Норвик Ltd"));
    EXPECT_EQ(boxes.shown[1].kind, RecordingMessageBoxes::Kind::Information);
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("Изменение скорости RS485 отменено"));
    EXPECT_EQ(boxes.shown[1].caption, QStringLiteral("Установка скорости RS485"));
    EXPECT_EQ(config().cb_rs485->currentIndex(), 7);
    EXPECT_TRUE(line.writes.empty());
    EXPECT_FALSE(stepTimer().has_value());
    EXPECT_FALSE(session().lineHeld());

    // The next configuration write carries it in the record's first byte.
    boxes.answers.push_back(MessageBoxes::Answer::Yes);
    config().btn_write_konf->click();
    ASSERT_EQ(sentFrames().size(), 1u);
    EXPECT_EQ(sentFrames().front()[4], kind::ConfigRead) << "the unit's settings are kept first";
    const auto unitRecord = encodeConfigRecord(ConfigRecord{});
    answer(kind::ConfigRead, Bytes(unitRecord.begin(), unitRecord.end()));
    ASSERT_EQ(sentFrames().size(), 2u);
    const Bytes write = sentFrames().back();
    ASSERT_EQ(write.size(), 89u);
    EXPECT_EQ(write[4], kind::Write);
    EXPECT_EQ(write[7], 7) << "record byte 0, after the sub-mode";
}

TEST_F(Rs485SpeedTest, onlyAUsersChoiceStartsIt) {
    // As when a record read from the unit sets the index.
    config().cb_rs485->setCurrentIndex(3);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(stepTimer().has_value());
}

TEST_F(Rs485SpeedTest, unitKeepsThePcSpeedPingThenSpeedSetThenSuccess) {
    pick(7);
    EXPECT_EQ(sentFrames(), (std::vector<Bytes>{{0xAA, 0x06, 0x02, 0x58, 0x00, 0x00, 0x01, 0x0A}}));
    EXPECT_TRUE(session().lineHeld());
    EXPECT_TRUE(stepTimer().has_value());
    answer(0, Bytes{0, 0});
    EXPECT_EQ(change().operation().step(), Rs485SpeedChange::Step::Answered);

    change().Timer1Timer();
    EXPECT_EQ(sentFrames().back(), (Bytes{0xAA, 0x06, 0x02, 0x58, 0x00, 0x01, 0x07, 0x01, 0x12}));
    EXPECT_EQ(change().operation().step(), Rs485SpeedChange::Step::Waiting);
    // The unit acknowledges by repeating the request.
    line.feedBytes(speedSetFrame(600, 7));
    EXPECT_EQ(change().operation().step(), Rs485SpeedChange::Step::Confirmed);

    change().Timer1Timer();
    expectEndedWith(kSucceeded, kSucceededCaption);
    EXPECT_EQ(sentFrames().size(), 2u);
    EXPECT_EQ(diag().cb_speed->currentIndex(), 10) << "the PC stays where it was";
    EXPECT_EQ(line.baudRate(), 115200);
    // Neither frame is a request of the transmitter.
    EXPECT_EQ(diag().st_txd->text(), QStringLiteral("0"));
    EXPECT_FALSE(session().answerTimeoutArmed().has_value());
    EXPECT_FALSE(session().idleCloseArmed().has_value());
}

TEST_F(Rs485SpeedTest, unitAskingThePcToFollowEndsWithBothAtTheNewSpeed) {
    pick(7);
    answer(0, Bytes{1});
    change().Timer1Timer();
    EXPECT_EQ(change().operation().step(), Rs485SpeedChange::Step::Following);
    EXPECT_EQ(line.baudRate(), 115200) << "the speed-set request goes at the old speed";
    const int opened = line.openCount;

    change().Timer1Timer();
    EXPECT_EQ(change().operation().step(), Rs485SpeedChange::Step::Waiting);
    EXPECT_EQ(diag().cb_speed->currentIndex(), config().cb_rs485->currentIndex());
    EXPECT_EQ(line.baudRate(), 19200);
    EXPECT_EQ(line.openCount, opened + 1) << "the port is opened afresh";
    EXPECT_EQ(sentFrames(),
              (std::vector<Bytes>{pingFrame(600), speedSetFrame(600, 7), pingFrame(600)}));
    answer(0, Bytes{1});
    change().Timer1Timer();
    expectEndedWith(kSucceeded, kSucceededCaption);
    EXPECT_EQ(diag().cb_speed->currentText(), QStringLiteral(" 19200"));
}

TEST_F(Rs485SpeedTest, unitSilentAtItsNewSpeedStopsWithThePcLeftThere) {
    pick(2);
    answer(0, Bytes{1});
    change().Timer1Timer();
    change().Timer1Timer();
    change().Timer1Timer();
    expectEndedWith(kStopped, kNoAnswerCaption);
    EXPECT_EQ(diag().cb_speed->currentIndex(), 2);
    EXPECT_EQ(line.baudRate(), 1200);
}

TEST_F(Rs485SpeedTest, noAnswerOrAnEmptyAnswerStopsAtTheFirstTick) {
    // Silence; the empty answer the ping's echo would be; an empty answer from the unit.
    const std::vector<std::optional<Bytes>> answers = {std::nullopt, buildFrame(600, 0, {}),
                                                       buildFrame(601, 0, {})};
    for (const auto& reply : answers) {
        boxes.clear();
        pick(4);
        if (reply) {
            line.feedBytes(*reply);
        }
        change().Timer1Timer();
        expectEndedWith(kStopped, kNoAnswerCaption);
        EXPECT_EQ(boxes.shown.size(), 2u) << "the question, then the stop";
    }
}

TEST_F(Rs485SpeedTest, ticksFollowThePcSpeedAtTheMomentTheyAreSet) {
    diag().cb_speed->setCurrentIndex(5); // 9600
    pick(7);
    EXPECT_EQ(stepTimer().value_or(-1), 50);
    answer(0, Bytes{2, 2});
    change().Timer1Timer();
    EXPECT_EQ(stepTimer().value_or(-1), 50);
    change().Timer1Timer();
    expectEndedWith(kStopped, kNoAnswerCaption); // the speed-set request went unanswered
    boxes.clear();

    diag().cb_speed->setCurrentIndex(0); // 300
    pick(10);
    EXPECT_EQ(stepTimer().value_or(-1), 800);
    answer(0, Bytes{1});
    change().Timer1Timer();
    EXPECT_EQ(stepTimer().value_or(-1), 900);
    change().Timer1Timer();
    EXPECT_EQ(stepTimer().value_or(-1), 50) << "after the PC followed to 115200";
}

// While the change holds the line, every control that would talk to the unit, or open a
// dialog that does, is as if not pressed: no question, no box, no dialog, nothing sent.
TEST_F(Rs485SpeedTest, whileItRunsNoOtherControlActsAndALeftoverTimerCannotCloseThePort) {
    ASSERT_FALSE(session().openPort());
    session().request(kind::ConfigRead, {}, nullptr);
    line.clearWritten();
    pick(6);
    EXPECT_FALSE(session().answerTimeoutArmed().has_value());
    EXPECT_FALSE(session().idleCloseArmed().has_value());

    boxes.clear();
    boxes.answers = std::deque<MessageBoxes::Answer>(8, MessageBoxes::Answer::Yes);
    // Should a dialog open modally after all, it is closed again and the test fails.
    bool dialogShown = false;
    QTimer::singleShot(0, w().searchDialog(), [&] {
        for (QDialog* dialog :
             {static_cast<QDialog*>(w().searchDialog()), static_cast<QDialog*>(w().tccDialog())}) {
            dialogShown = dialogShown || dialog->isVisible();
            dialog->reject();
        }
    });
    emit config().cb_rs485->activated(3);
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             diag().Button6, w().searchDialog()->Button1, config().Button9, config().btn_read_konf,
             config().btn_write_konf, config().btn_compare_konf, config().Button5,
             config().Button12, config().btn_save_settings, config().btn_load_settings,
             diag().diagnos, diag().Button11, diag().btn_monitor, protocol().Button1,
             protocol().Button7, protocol().Button8, protocol().btn_save_prot,
             protocol().btn_save_all}) {
        button->click();
        EXPECT_TRUE(boxes.shown.empty()) << button->objectName().toStdString();
    }
    EXPECT_FALSE(dialogShown);
    EXPECT_EQ(sentFrames().size(), 1u) << "only the change's ping";
    EXPECT_FALSE(w().searchDialog()->Timer1->isActive());
    EXPECT_EQ(diag().diagnos->text(), kDiagnosStopped);

    change().Timer1Timer();
    EXPECT_FALSE(session().lineHeld());
}
