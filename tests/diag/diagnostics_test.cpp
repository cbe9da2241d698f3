// The poll: start, watchdog, stop, repetitions.
#include "diag/diagnostics_fixture.hpp"

using namespace torl7;
using namespace torl7::test;

TEST_F(DiagnosticsTest, startResetsTheCountersOpensThePortAndAsksForASnapshotWhateverWasPending) {
    // An earlier poll stopped while it waited for phase C's block.
    diag().cmb_m->setCurrentIndex(3);
    start();
    answerPending();
    answerPending();
    answerPending();
    ASSERT_EQ(poll().operation().nextSelector(), 19);
    poll().diagnosClick();
    line.clearWritten();
    diag().st_txd->setText(QStringLiteral("17"));
    diag().st_rxd->setText(QStringLiteral("12"));
    start();
    EXPECT_TRUE(running());
    EXPECT_TRUE(line.isOpen());
    EXPECT_EQ(diag().st_txd->text(), QStringLiteral("1"));
    EXPECT_EQ(diag().st_rxd->text(), QStringLiteral("0"));
    ASSERT_EQ(sentFrames().size(), 1u);
    EXPECT_EQ(sentFrames()[0], buildFrame(600, kind::Diagnostics, Bytes{0}));
    EXPECT_TRUE(poll().operation().watchdogArmed().has_value());
    EXPECT_EQ(poll().operation().watchdogArmed().value_or(-1), 300);
    EXPECT_FALSE(session().answerTimeoutArmed().has_value())
        << "the poll's requests have no response timeout";
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DiagnosticsTest, silentUnitAt115200GivesUpAtTheTenthTickAfterFourRepetitions) {
    start();
    diag().cmb_m->setCurrentIndex(1);
    answerPending(); // a snapshot: phase A's block is asked for next
    line.clearWritten();
    session().resetCounters();
    for (int tick = 1; tick <= 9; ++tick) {
        this->tick();
        // Odd ticks arm the watchdog, even ticks find it armed: a miss and a repetition.
        EXPECT_EQ(diag().st_txd->text(), QString::number(tick / 2)) << "tick " << tick;
        EXPECT_EQ(poll().missCount(), tick / 2);
        EXPECT_EQ(poll().operation().watchdogArmed().value_or(-1), 300);
    }
    EXPECT_EQ(selectorsSent(), (std::vector<int>{17, 17, 17, 17})) << "the same block each time";
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(running());

    bool runningWhileShown = false;
    boxes.whileOpen = [&](const auto&) { runningWhileShown = running(); };
    tick();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, RecordingMessageBoxes::Kind::Error);
    EXPECT_EQ(boxes.shown[0].text, kNoAnswerText);
    EXPECT_EQ(boxes.shown[0].caption, kCaptionTool);
    EXPECT_TRUE(runningWhileShown) << "the caption is reset after the box";
    EXPECT_FALSE(running());
    EXPECT_FALSE(poll().operation().watchdogArmed().has_value());
    EXPECT_EQ(selectorsSent().size(), 4u) << "nothing more was sent";
    EXPECT_TRUE(line.isOpen()) << "the idle close releases the port later";

    // From the start: the first request and four repetitions.
    line.clearWritten();
    boxes.clear();
    start();
    ticks(10);
    EXPECT_EQ(diag().st_txd->text(), QStringLiteral("5"));
    EXPECT_EQ(boxes.texts(), QStringList{kNoAnswerText});
}

TEST_F(DiagnosticsTest, at300BaudEveryWatchdogPeriodIs10SecondsTheFirstToo) {
    // An answer at 300 baud takes seconds on the wire: a first period of 300 ms would count
    // it a miss and repeat the request into it.
    diag().cb_speed->setCurrentIndex(0);
    start();
    EXPECT_EQ(poll().operation().watchdogArmed().value_or(-1), 10000);
    tick();
    EXPECT_EQ(poll().missCount(), 0);
    tick();
    EXPECT_EQ(poll().missCount(), 1);
    EXPECT_EQ(poll().operation().watchdogArmed().value_or(-1), 10000);
    EXPECT_EQ(diag().st_txd->text(), QStringLiteral("2"));
    EXPECT_TRUE(poll().operation().watchdogArmed().has_value());

    // A new start at 115200 takes that speed's period at once.
    poll().diagnosClick();
    diag().cb_speed->setCurrentIndex(10);
    start();
    EXPECT_EQ(poll().operation().watchdogArmed().value_or(-1), 300);
}

TEST_F(DiagnosticsTest, oneAnswerAmongTheMissesStartsTheCountAgain) {
    diag().cmb_m->setCurrentIndex(0);
    start();
    ticks(8);
    EXPECT_EQ(poll().missCount(), 4);
    answerPending();
    EXPECT_EQ(poll().missCount(), 0);
    ticks(8);
    EXPECT_EQ(poll().missCount(), 4);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(running());
    ticks(2);
    EXPECT_EQ(boxes.texts(), QStringList{kNoAnswerText});
}

TEST_F(DiagnosticsTest, stopClosesThePortAtOnceAndKeepsTheCounters) {
    start();
    answerPending();
    const QString sent = diag().st_txd->text();
    poll().diagnosClick();
    EXPECT_FALSE(running());
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(poll().operation().watchdogArmed().has_value());
    EXPECT_FALSE(session().idleCloseArmed().has_value());
    EXPECT_EQ(diag().st_txd->text(), sent);
    EXPECT_EQ(diag().st_rxd->text(), QStringLiteral("1"));
}

TEST_F(DiagnosticsTest, aStopFromElsewhereTakesEffectAtTheNextTickWithoutARepetition) {
    start();
    tick(); // armed
    w().stopPolling();
    tick();
    EXPECT_FALSE(poll().operation().watchdogArmed().has_value());
    EXPECT_EQ(poll().missCount(), 0);
    EXPECT_EQ(diag().st_txd->text(), QStringLiteral("1"));
}

TEST_F(DiagnosticsTest, answersAfterAStopAreShownButAskForNothing) {
    diag().cmb_m->setCurrentIndex(1);
    start();
    w().stopPolling(); // the caption only: the port stays open for the snapshot in flight
    Snapshot snapshot;
    snapshot.uaVolts = 231;
    answer(kind::Diagnostics, encodeSnapshot(snapshot));
    EXPECT_EQ(diag().st_ua->text(), QStringLiteral("231"));
    EXPECT_EQ(diag().st_txd->text(), QStringLiteral("1")) << "no request follows";
    EXPECT_EQ(poll().operation().nextSelector(), 17) << "the selector still moves on";

    start(); // a new start asks for a snapshot again
    answerPending();
    ASSERT_EQ(lastSelectorSent(), 17);
    w().stopPolling();
    answerPending();
    EXPECT_EQ(diag().Series1->count(), 101) << "the finished sequence is still drawn";
    EXPECT_EQ(diag().st_txd->text(), QStringLiteral("2"));
    EXPECT_EQ(poll().operation().nextSelector(), 0);
}

TEST_F(DiagnosticsTest, slowLineRepetitionReopensThePortThatTheIdleCloseReleased) {
    diag().cb_speed->setCurrentIndex(2); // 1200 baud: a 2500 ms period outlasts the idle close
    start();
    ticks(2); // first miss at 300 ms: repeated on the open port
    EXPECT_EQ(poll().operation().watchdogArmed().value_or(-1), 2500);
    session().idleCloseElapsed(); // 3 s after that repetition
    ASSERT_FALSE(line.isOpen());
    line.clearWritten();
    ticks(2);
    EXPECT_TRUE(line.isOpen());
    EXPECT_EQ(line.openCount, 2);
    EXPECT_EQ(selectorsSent(), std::vector<int>{0}) << "the repetition reached the line";
}

TEST_F(DiagnosticsTest, portThatWouldNotOpenIsOneBoxNamingItAndThePollDoesNotStart) {
    line.failNextOpen = true;
    start();
    EXPECT_FALSE(running());
    EXPECT_FALSE(poll().operation().watchdogArmed().has_value());
    ticks(10);
    EXPECT_EQ(line.openCount, 0);
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Ошибка открытия порта !\nttyUSB0: fake")});
    EXPECT_EQ(diag().st_txd->text(), QStringLiteral("0")) << "nothing was sent";
}

TEST_F(DiagnosticsTest, withNoPortSelectedThePollDoesNotStart) {
    diag().cmbPorts->setCurrentIndex(-1);
    poll().diagnosClick();
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Не найден СОМ-порт!")});
    EXPECT_FALSE(running());
    EXPECT_FALSE(poll().operation().watchdogArmed().has_value());
}

TEST_F(DiagnosticsTest, aLineLostDuringThePollIsOneBoxAndGreysTheValuesUntilTheNextAnswer) {
    const QList<QWidget*> values = {diag().st_ua, diag().c_umin,  diag().ttime,
                                    diag().st_wa, diag().sh_umin, diag().zp_umin};
    const auto greyed = [&] {
        return std::count_if(values.begin(), values.end(),
                             [](QWidget* v) { return !v->isEnabled(); });
    };
    start();
    answerPending();
    // The box is modal: the watchdog goes on ticking while it is open.
    boxes.whileOpen = [this](const auto&) { ticks(2 * Diagnostics::kMaxMisses + 2); };
    line.loseDevice();
    EXPECT_EQ(boxes.shown.size(), 1u) << boxes.texts().join(" | ").toStdString();
    EXPECT_FALSE(running());
    EXPECT_EQ(greyed(), values.size()) << "what the poll showed is no longer current";
    EXPECT_TRUE(diag().st_txd->isEnabled()) << "the counters are the tool's own";
    boxes.whileOpen = nullptr;
    start();
    answerPending();
    EXPECT_EQ(greyed(), 0);
}
