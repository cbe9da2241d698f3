// The window's link against the simulated unit over a real pseudo-terminal and Qt's serial
// port: what a user gets with --simulate (over TCP on the loopback address where a system has
// no pseudo-terminals).
#include "gui/main_window.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"
#include "session/port_line.hpp"
#include "sim/simulated_unit.hpp"
#include "support/recording_message_boxes.hpp"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

using namespace torl7;
using namespace torl7::test;

namespace {

struct SimulatedWindow {
    explicit SimulatedWindow(int unitBaud, bool overTcp = false) {
        sim::SimOptions options;
        options.unit.lineSpeedBaud = unitBaud;
        if (overTcp) {
            options.listen = sim::ListenOptions{{"127.0.0.1", 0}, false};
        }
        port = QString::fromStdString(unit.start(options));
        window = std::make_unique<MainWindow>(line, boxes, portList({port}, false));
    }
    ~SimulatedWindow() { unit.stop(); }

    // Presses a button that asks the unit, and waits for its answer to be counted.
    bool press(QPushButton* button) {
        const QString before = window->TabSheet2->st_rxd->text();
        button->click();
        // A frame verified and nothing more awaited (a reset on a new port is preceded by a ping).
        return QTest::qWaitFor(
            [&] {
                return window->TabSheet2->st_rxd->text() != before &&
                       !window->session().outstanding();
            },
            5000);
    }
    bool resetProtection() { return press(window->TabSheet2->btn_monitor); }

    sim::SimulatedUnit unit;
    QString port;
    PortLine line;
    RecordingMessageBoxes boxes;
    std::unique_ptr<MainWindow> window;
};

} // namespace

// On a pseudo-terminal, and over TCP as --simulate serves the unit where there are none.
class SimulatedUnitLinkOnEitherLine : public ::testing::TestWithParam<bool> {};

TEST_P(SimulatedUnitLinkOnEitherLine, pingConfigurationReadAndProtectionResetAreAnsweredAt115200) {
    SimulatedWindow sim(115200, GetParam());
    UnitSession& link = sim.window->session();
    ASSERT_FALSE(link.openPort());
    link.probe(buildFrame(600, kind::Ping, {}), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.lastFrame().has_value(); }, 5000));
    EXPECT_EQ(link.lastFrame()->command(), kind::Ping);
    EXPECT_GT(link.lastFrame()->length(), 0) << "a ping is answered with a non-empty payload";
    EXPECT_EQ(sim.window->TabSheet2->st_txd->text(), QStringLiteral("0"));

    ASSERT_TRUE(sim.press(sim.window->TabSheet1->btn_read_konf)); // "Считать конфигурацию"
    EXPECT_EQ(link.lastFrame()->command(), kind::ConfigRead);
    EXPECT_GE(link.lastFrame()->length(), 80) << "the whole configuration record";
    ASSERT_TRUE(sim.resetProtection());
    EXPECT_EQ(link.lastFrame()->command(), kind::ProtectionReset);
    EXPECT_EQ(sim.window->TabSheet2->st_txd->text(), QStringLiteral("2"));
    EXPECT_FALSE(link.answerTimeoutArmed().has_value());
    // The answer's own confirmation, not a timeout.
    EXPECT_EQ(sim.boxes.texts(), (QStringList{QStringLiteral("Конфигурация считана"),
                                              QStringLiteral("Защита сброшена!")}));
}

INSTANTIATE_TEST_SUITE_P(Line, SimulatedUnitLinkOnEitherLine, ::testing::Bool());

TEST(SimulatedUnitLink, unitsBelow600TalkAt14400WhichOpensOnAPseudoTerminal) {
    SimulatedWindow sim(14400);
    sim.window->TabSheet2->frm1_zn->setValue(599);
    ASSERT_EQ(sim.window->TabSheet2->cb_speed->currentIndex(), 6);
    sim.window->TabSheet2->frm1_zn->setValue(600); // the unit's number; back at 115200
    sim.window->TabSheet2->cb_speed->setCurrentIndex(6);
    sim.window->cb_speedChange();
    ASSERT_TRUE(sim.resetProtection()) << "no answer at 14400 baud";
    EXPECT_EQ(sim.boxes.texts(), QStringList{QStringLiteral("Защита сброшена!")});
}

TEST(SimulatedUnitLink, aUnitAtAnotherSpeedStaysSilentAndTheTimeoutSaysSo) {
    SimulatedWindow sim(9600);
    EXPECT_FALSE(sim.resetProtection());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sim.boxes.shown.empty(); }, 3000));
    EXPECT_EQ(
        sim.boxes.shown.back().text,
        QStringLiteral("Устройство не отвечает! Повторите попытку или обратитесь к разработчику."));
    EXPECT_FALSE(sim.line.isOpen());
}
