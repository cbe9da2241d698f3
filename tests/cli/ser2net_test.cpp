// torl7-cli and the session through a real serial device server: ser2net in front of the
// simulated unit's pseudo-terminal, in raw TCP mode and in RFC 2217 mode, on free loopback
// ports. The unit is number 65535, so that every frame carries 0xFF 0xFF.
#include "cli/cli_fixture.hpp"
#include "protocol/line_speed.hpp"
#include "session/operations/rs485_speed_change.hpp"
#include "session/port_line.hpp"
#include "sim/simulated_unit.hpp"
#include "support/ser2net.hpp"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <sstream>

using namespace torl7;
using namespace torl7::test;

namespace {

constexpr std::uint16_t kUnit = 65535;

class ThroughSer2net : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Ser2net::installed()) {
            GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
        }
    }
    void TearDown() override { unit_.stop(); }

    void start(int baud, sim::FaultOptions faults = {}) {
        sim::SimOptions options;
        options.unit.factoryNumber = kUnit;
        options.unit.lineSpeedBaud = baud;
        options.unit.askToFollowSpeedChange = true;
        options.faults = std::move(faults);
        const QString pty = QString::fromStdString(unit_.start(options));
        ASSERT_TRUE(server_.start(pty, baud)) << server_.error().toStdString();
    }

    Result cli(const QString& port, QStringList arguments) {
        std::ostringstream out;
        std::ostringstream err;
        const int code = runCli(
            QStringList{"torl7-cli", "--port", port, "--unit", QString::number(kUnit)} + arguments,
            out, err);
        return {code, out.str(), err.str()};
    }

    sim::SimulatedUnit unit_;
    Ser2net server_;
    QTemporaryDir dir_;
};

} // namespace

TEST_F(ThroughSer2net, readsWritesEventsAndThePollGoThroughBothModes) {
    start(115200);
    for (const QString& port : {server_.raw(), server_.rfc2217()}) {
        SCOPED_TRACE(port.toStdString());
        // The two ports share one serial side, which ser2net frees a moment after the last
        // client of the other port has gone ("Device already in use" until then).
        QThread::msleep(300);
        const QString settings = dir_.filePath(QStringLiteral("unit.json"));
        Result r = cli(port, {"read-config", "-o", settings});
        ASSERT_EQ(r.code, exitcode::Done) << r.err;
        // Written back and read back: the unit holds what the file says.
        r = cli(port, {"write-config", settings, "--yes"});
        EXPECT_EQ(r.code, exitcode::Done) << r.err;
        r = cli(port, {"read-events", "--format", "json"});
        ASSERT_EQ(r.code, exitcode::Done) << r.err;
        EXPECT_FALSE(QJsonDocument::fromJson(QByteArray::fromStdString(r.out))
                         .object()["events"]
                         .toArray()
                         .isEmpty());
        r = cli(port, {"monitor", "--count", "5"});
        EXPECT_EQ(r.code, exitcode::Done) << r.err;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 5) << r.out;
    }
}

TEST_F(ThroughSer2net, searchAndTheRs485SpeedChangeSetTheServersSpeedOverRfc2217) {
    start(9600);
    Result r = cli(server_.rfc2217(), {"search"});
    ASSERT_EQ(r.code, exitcode::Done) << r.err;
    EXPECT_EQ(r.out, "9600\n") << "found from 300 baud up, each speed set in the server";

    // The unit moves its bus to 19200; the tool follows through the server.
    PortLine line;
    UnitSession session(line);
    session.setPort(server_.rfc2217(), server_.rfc2217());
    session.setFactoryNumber(kUnit);
    session.setLineSpeed(indexForBaud(9600));
    ASSERT_FALSE(session.openPort());
    Rs485SpeedChangeOperation change(session);
    std::optional<Outcome<SpeedChanged>> outcome;
    change.onFinished([&](const Outcome<SpeedChanged>& o) { outcome = o; });
    change.start(kUnit, indexForBaud(19200), indexForBaud(9600));
    QElapsedTimer waited;
    waited.start();
    while (!outcome && waited.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    ASSERT_TRUE(outcome && *outcome) << "the change did not end with the unit's answers";
    EXPECT_EQ(outcome->result->pcSpeedIndex, indexForBaud(19200));
    EXPECT_EQ(unit_.withUnit(
                  [](sim::UnitModel& m, sim::FaultInjector&) { return m.state().lineSpeedBaud; }),
              19200);
    r = cli(server_.rfc2217(), {"--speed", "19200", "version"});
    EXPECT_EQ(r.code, exitcode::Done) << r.err;
}

TEST_F(ThroughSer2net, aServerKilledMidAnswerIsALostLineThatNamesIt) {
    // Each answer in three pieces a second apart: the server dies after the first.
    sim::FaultOptions faults;
    faults.rules = {{sim::FaultKind::Split, 1, UINT64_MAX}};
    faults.parameters.splitGap = std::chrono::milliseconds{1000};
    start(115200, faults);
    QTimer::singleShot(500, [this] { server_.kill(); });
    const QString port = server_.rfc2217();
    const Result r = cli(port, {"--timeout-ms", "5000", "version"});
    EXPECT_EQ(r.code, exitcode::NoAnswer);
    EXPECT_EQ(r.err, "torl7-cli: the unit did not answer the firmware version request (сервер " +
                         port.mid(QStringLiteral("rfc2217://").size()).toStdString() +
                         " закрыл соединение)\n");
}

TEST_F(ThroughSer2net, aTelnetPortWithoutRfc2217IsNamedAndTcpIsSuggested) {
    start(115200);
    const Result r = cli(server_.telnetOnly(), {"version"});
    EXPECT_EQ(r.code, exitcode::PortFailed);
    EXPECT_NE(r.err.find("не поддерживает RFC 2217"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("откройте tcp://127.0.0.1:"), std::string::npos) << r.err;
}
