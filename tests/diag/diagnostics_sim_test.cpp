// The poll and the one-shot commands against the simulated unit over a real pseudo-terminal
// and Qt's serial port, with the unit's clock under the test's control.
#include "gui/controllers/clock_commands.hpp"
#include "gui/controllers/diagnostics.hpp"
#include "session/qt_serial_line.hpp"
#include "sim/plant.hpp"
#include "sim/simulated_unit.hpp"
#include "support/window_fixture.hpp"

#include "gui/widgets/indicator_shape.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

using namespace torl7;
using namespace torl7::test;
using namespace std::chrono_literals;

namespace {

constexpr int kPatienceMs = 10000;

// 8 December 2026, early afternoon; the unit shows it in the machine's time zone.
const sim::WallTime kStart =
    std::chrono::sys_days{std::chrono::year{2026} / 12 / 8} + 14h + 5min + 9s;

// Seconds of the day shown by "hh:mm:ss".
int secondsOfDay(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(':'));
    return parts.size() == 3 ? parts[0].toInt() * 3600 + parts[1].toInt() * 60 + parts[2].toInt()
                             : -1;
}

class DiagnosticsSimTest : public ::testing::Test {
protected:
    void startUnit(std::vector<sim::ProvokedTrip> trips = {}) {
        sim::SimOptions options;
        options.clock = &clock;
        options.unit.trips = std::move(trips);
        const QString port = QString::fromStdString(unit.start(options));
        window = std::make_unique<MainWindow>(line, boxes, portList({port}, false));
    }
    ~DiagnosticsSimTest() override {
        window.reset();
        unit.stop();
    }

    DiagPage& diag() { return *window->TabSheet2; }
    Diagnostics& poll() { return *window->findChild<Diagnostics*>(); }
    ClockCommands& commands() { return *window->findChild<ClockCommands*>(); }
    int received() { return diag().st_rxd->text().toInt(); }
    bool waitFor(const std::function<bool()>& condition) {
        return QTest::qWaitFor(condition, kPatienceMs);
    }

    sim::FixedClock clock{kStart};
    sim::SimulatedUnit unit;
    QtSerialLine line;
    RecordingMessageBoxes boxes;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST_F(DiagnosticsSimTest, pollShowsTheUnitLiveAndStopsWhenAsked) {
    startUnit();
    diag().cmb_m->setCurrentIndex(3);
    diag().diagnos->click();
    ASSERT_TRUE(waitFor([&] { return received() >= 10; })) << "the poll does not run";
    const QString shownAtStart = diag().ttime->text();
    ASSERT_GE(secondsOfDay(shownAtStart), 0) << shownAtStart.toStdString();
    EXPECT_TRUE(diag().tDATE->text().endsWith(QStringLiteral(".2026г.")));
    EXPECT_EQ(diag().sh_iso->fillColor(), QColor(0, 255, 0));
    EXPECT_NE(diag().st_ua->text(), QStringLiteral("0"));
    EXPECT_EQ(diag().st_ikrp->text(), QStringLiteral("---"));
    ASSERT_TRUE(waitFor([&] { return diag().Series5->count() == 100; }));
    const auto atRest = [](const QLineSeries* s) {
        const auto points = s->points();
        return std::all_of(points.begin(), points.end(), [](QPointF p) { return p.y() == 0; });
    };
    EXPECT_FALSE(atRest(diag().Series1));
    EXPECT_FALSE(atRest(diag().Series4));
    EXPECT_FALSE(atRest(diag().Series6)) << "all three phases are drawn";

    const QString energy = diag().st_wa->text();
    clock.advance(3600s + 2min);
    ASSERT_TRUE(waitFor([&] { return diag().ttime->text() != shownAtStart; }));
    EXPECT_EQ((secondsOfDay(diag().ttime->text()) - secondsOfDay(shownAtStart) + 86400) % 86400,
              3720);
    EXPECT_NE(diag().st_wa->text(), energy) << "energy grows with the hour";

    diag().diagnos->click();
    EXPECT_EQ(diag().diagnos->text(), kDiagnosStopped);
    EXPECT_FALSE(line.isOpen());
    const int atStop = received();
    QTest::qWait(200);
    EXPECT_EQ(received(), atStop);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DiagnosticsSimTest, tripIsShownAndAProtectionResetWhilePollingClearsIt) {
    startUnit({{sim::Protection::Umin, 0s}});
    diag().diagnos->click();
    ASSERT_TRUE(waitFor([&] { return received() >= 3; }));
    EXPECT_EQ(diag().zp_umin->fillColor(), QColor(255, 0, 0)) << "the protection picked up";
    EXPECT_EQ(diag().sh_umin->fillColor(), QColor(192, 192, 192));
    EXPECT_EQ(diag().c_umin->text(), QStringLiteral("10,0"));

    clock.advance(10s);
    ASSERT_TRUE(waitFor([&] { return diag().sh_umin->fillColor() == QColor(255, 0, 0); }));
    EXPECT_EQ(diag().c_umin->text(), QStringLiteral("0,0"));
    EXPECT_EQ(diag().st_blkz->text(), QStringLiteral("1")) << "the reset is locked a second";
    clock.advance(2s);
    ASSERT_TRUE(waitFor([&] { return diag().st_blkz->text() == QStringLiteral("0"); }));

    const int sentBefore = diag().st_txd->text().toInt();
    diag().btn_monitor->click();
    EXPECT_EQ(diag().diagnos->text(), kDiagnosStopped);
    EXPECT_EQ(diag().st_txd->text().toInt(), sentBefore + 1) << "the reset went out at once";
    ASSERT_TRUE(waitFor([&] { return !boxes.shown.empty(); }));
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Защита сброшена!")});
    EXPECT_FALSE(line.isOpen());

    diag().diagnos->click();
    ASSERT_TRUE(waitFor([&] { return received() >= 2; }));
    EXPECT_EQ(diag().sh_umin->fillColor(), QColor(192, 192, 192)) << "the trip was reset";
    EXPECT_EQ(diag().zp_umin->fillColor(), QColor(192, 192, 192));
    diag().diagnos->click();
}

TEST_F(DiagnosticsSimTest, clockCorrectionSetsTheUnitsClockAndTheVersionIsRead) {
    startUnit();
    commands().pcClock = [] { return QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5)); };
    diag().rcal->setValue(-7);
    diag().tavto->setChecked(true);
    diag().Button11->click();
    ASSERT_TRUE(waitFor([&] { return !boxes.shown.empty(); }));
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Корректировка выполнена!")});

    diag().rcal->setValue(0);
    diag().tavto->setChecked(false);
    diag().cmb_m->setCurrentIndex(0);
    diag().diagnos->click();
    ASSERT_TRUE(waitFor([&] { return received() >= 2; }));
    EXPECT_EQ(diag().ttime->text(), QStringLiteral("03:04:05"));
    EXPECT_EQ(diag().tDATE->text(), QStringLiteral("02.01.2027г."));
    EXPECT_EQ(diag().rcal->value(), -7);
    EXPECT_TRUE(diag().tavto->isChecked());
    diag().diagnos->click();

    window->TabSheet1->Button12->click();
    ASSERT_TRUE(waitFor([&] { return !window->TabSheet1->st_vpmk->text().isEmpty(); }));
    EXPECT_EQ(window->TabSheet1->st_vpmk->text(), QStringLiteral("ТОРЛ-7 v2.04    "));
    EXPECT_FALSE(line.isOpen());
}
