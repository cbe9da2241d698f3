// Clock correction, protection reset and firmware version over an in-memory line.
#include "gui/controllers/clock_commands.hpp"
#include "gui/controllers/diagnostics.hpp"
#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/codecs/version_codec.hpp"
#include "support/window_fixture.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

using namespace torl7;
using namespace torl7::test;

namespace {

// Tuesday 8 December 2026, 14:05:09 on the PC.
const QDateTime kTuesday(QDate(2026, 12, 8), QTime(14, 5, 9));

class ClockCommandsTest : public WindowFixture {
protected:
    ClockCommandsTest() {
        commands().pcClock = [this] { return pcNow; };
    }

    ClockCommands& commands() { return *window->findChild<ClockCommands*>(); }
    Diagnostics& poll() { return *window->findChild<Diagnostics*>(); }

    // The payload of the last request written, after checking its command.
    Bytes lastPayload(std::uint8_t command) const {
        const auto frames = sentFrames();
        if (frames.empty()) {
            ADD_FAILURE() << "nothing was sent";
            return {};
        }
        const auto frame = parseFrame(frames.back());
        EXPECT_TRUE(frame.has_value());
        EXPECT_EQ(frame->command(), command);
        return Bytes(frame->payload().begin(), frame->payload().end());
    }
    Bytes correctionPayload(int calibration, bool stop, bool autoDst) {
        diag().rcal->setValue(calibration);
        diag().rstop->setChecked(stop);
        diag().tavto->setChecked(autoDst);
        session().cancel(); // the last correction's acknowledgement is not awaited here
        commands().Button11Click();
        return lastPayload(kind::Clock);
    }

    QDateTime pcNow = kTuesday;
};

} // namespace

TEST_F(ClockCommandsTest, clockCorrectionStopsThePollAndSendsThePcClockWithThePanelSettings) {
    poll().diagnosClick();
    EXPECT_EQ(correctionPayload(3, false, true),
              (Bytes{0x23, 0x09, 0x05, 0x14, 0x03, 0x08, 0x12, 0x26, 0x80}));
    EXPECT_EQ(diag().diagnos->text(), kDiagnosStopped);
    EXPECT_TRUE(line.isOpen());
    EXPECT_TRUE(session().answerTimeoutArmed().has_value());
    EXPECT_EQ(session().answerTimeoutArmed().value_or(-1), 300);
    EXPECT_TRUE(boxes.shown.empty()) << "the answer brings the message";
}

TEST_F(ClockCommandsTest, calibrationStopBitAndWeekdayTakeTheirBitsInTheCorrection) {
    struct Case {
        int calibration;
        bool stop;
        QDateTime at;
        std::uint8_t calibrationByte;
        std::uint8_t secondsByte;
        std::uint8_t weekdayByte;
    };
    const QDate sunday(2026, 12, 6);
    const QDate saturday(2026, 12, 12);
    const std::vector<Case> cases{
        {-5, false, kTuesday, 0x05, 0x09, 0x03},
        {0, false, kTuesday, 0x20, 0x09, 0x03},
        {31, false, kTuesday, 0x3F, 0x09, 0x03},
        {-31, false, kTuesday, 0x1F, 0x09, 0x03},
        {0, true, QDateTime(kTuesday.date(), QTime(14, 5, 59)), 0x20, 0xD9, 0x03},
        {0, false, QDateTime(sunday, QTime(0, 0, 0)), 0x20, 0x00, 0x01},
        {0, false, QDateTime(saturday, QTime(23, 59, 58)), 0x20, 0x58, 0x07},
    };
    for (const Case& c : cases) {
        pcNow = c.at;
        const Bytes payload = correctionPayload(c.calibration, c.stop, false);
        ASSERT_EQ(payload.size(), 9u);
        EXPECT_EQ(payload[0], c.calibrationByte) << "rcal " << c.calibration;
        EXPECT_EQ(payload[1], c.secondsByte) << "rcal " << c.calibration;
        EXPECT_EQ(payload[4], c.weekdayByte) << c.at.toString().toStdString();
        EXPECT_EQ(payload[8], 0x00);
    }
}

TEST_F(ClockCommandsTest, correctionAnswerClosesThePortAndConfirms) {
    commands().Button11Click();
    bool closedWhileShown = false;
    boxes.whileOpen = [&](const auto&) { closedWhileShown = !line.isOpen(); };
    answer(kind::Clock, {});
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, RecordingMessageBoxes::Kind::Information);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Корректировка выполнена!"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Корректировка времени"));
    EXPECT_TRUE(closedWhileShown);
    EXPECT_FALSE(session().answerTimeoutArmed().has_value());
}

TEST_F(ClockCommandsTest, protectionResetWhilePollingStopsThePollAndSendsTheResetAtOnce) {
    poll().diagnosClick();
    line.clearWritten();
    commands().btn_monitorClick();
    EXPECT_EQ(diag().diagnos->text(), kDiagnosStopped);
    ASSERT_EQ(sentFrames().size(), 1u);
    EXPECT_EQ(sentFrames()[0], buildFrame(600, kind::ProtectionReset, {}));
    EXPECT_TRUE(session().answerTimeoutArmed().has_value());

    // The poll's snapshot was under way: it is shown, asks for nothing, and the reset's own
    // answer is still awaited and confirmed.
    Snapshot snapshot;
    snapshot.uaVolts = 225;
    answer(kind::Diagnostics, encodeSnapshot(snapshot));
    EXPECT_EQ(diag().st_ua->text(), QStringLiteral("225"));
    EXPECT_EQ(sentFrames().size(), 1u);
    EXPECT_TRUE(session().answerTimeoutArmed().has_value())
        << "the reset still waits for its answer";
    answer(kind::ProtectionReset, {});
    ASSERT_EQ(boxes.texts(), QStringList{QStringLiteral("Защита сброшена!")});
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Сброс защиты"));
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(session().answerTimeoutArmed().has_value());
    EXPECT_EQ(diag().st_rxd->text(), QStringLiteral("2"));
}

TEST_F(ClockCommandsTest, versionShowsAllSixteenCharactersAndNoMessage) {
    config().st_vpmk->setText(QStringLiteral("старое"));
    commands().Button12Click();
    EXPECT_EQ(lastPayload(kind::Version), Bytes{});
    answer(kind::Version, encodeVersionText("ТОРЛ-7 v3.12"));
    EXPECT_EQ(config().st_vpmk->text(), QStringLiteral("ТОРЛ-7 v3.12    "));
    EXPECT_FALSE(line.isOpen());
    EXPECT_TRUE(boxes.shown.empty());

    commands().Button12Click();
    answer(kind::Version, Bytes{'V', '1'});
    EXPECT_EQ(config().st_vpmk->text().size(), 16) << "a short answer still fills 16 places";
    EXPECT_TRUE(config().st_vpmk->text().startsWith(QStringLiteral("V1")));
}
