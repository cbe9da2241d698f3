// The lines to a serial server on the network: each failure is said by name, and the server
// closing the connection is a lost line that names it. Against the simulated unit listening
// on the loopback address.
#include "session/port_line.hpp"
#include "session/unit_session.hpp"
#include "sim/simulated_unit.hpp"

#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <gtest/gtest.h>

using namespace torl7;

namespace {

QString closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return QString::number(probe.serverPort()); // closed again when `probe` goes
}

sim::SimOptions listening(bool rfc2217, std::vector<sim::FaultRule> faults = {}) {
    sim::SimOptions options;
    options.listen = sim::ListenOptions{{"127.0.0.1", 0}, rfc2217};
    options.faults.rules = std::move(faults);
    return options;
}

} // namespace

TEST(NetworkLine, aPortThatCannotBeOpenedSaysWhyByName) {
    sim::SimulatedUnit rawServer;
    const QString raw = QString::fromStdString(rawServer.start(listening(false)));
    const QString rawAsRfc2217 =
        QString(raw).replace(QStringLiteral("tcp://"), QStringLiteral("rfc2217://"));
    struct Case {
        QString port;
        QStringList says;
    };
    const Case cases[] = {
        {"tcp://127.0.0.1:" + closedPort(), {"отказал в соединении"}},
        {QStringLiteral("rfc2217://no-such-host.invalid:4001"),
         {"узел no-such-host.invalid не найден"}},
        {QStringLiteral("tcp://10.0.0.5"), {"не адрес сервера", "tcp://УЗЕЛ:ПОРТ"}},
        // A raw TCP port never answers the Telnet negotiation: tcp:// is what to open.
        {rawAsRfc2217, {"не ответил на согласование RFC 2217", raw}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port.toStdString());
        PortLine line;
        EXPECT_FALSE(line.open(c.port, 9600));
        EXPECT_FALSE(line.isOpen());
        for (const QString& part : c.says) {
            EXPECT_TRUE(line.errorString().contains(part)) << line.errorString().toStdString();
        }
    }
}

TEST(NetworkLine, theServerClosingMidAnswerIsALostLineNamingItAndASecondClientIsRefused) {
    sim::SimulatedUnit unit;
    const QString port =
        QString::fromStdString(unit.start(listening(false, {{sim::FaultKind::HangUp, 1, 1}})));
    PortLine line;
    UnitSession session(line);
    session.setPort(port, port);
    ASSERT_FALSE(session.comopen());

    // One client at a time: another connection is closed as soon as it is taken.
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, QUrl(port).port());
    ASSERT_TRUE(second.waitForConnected(3000));
    EXPECT_TRUE(second.state() == QAbstractSocket::UnconnectedState ||
                second.waitForDisconnected(3000));

    QString lostReason;
    QObject::connect(&session, &UnitSession::lineLost,
                     [&](const QString& reason) { lostReason = reason; });
    const Answer answer = waitForAnswer(
        [&](UnitSession::Reply reply) { session.request(kind::Version, {}, std::move(reply)); });
    ASSERT_TRUE(answer.error);
    EXPECT_EQ(answer.error->kind, SessionError::Kind::LineLost);
    const QString where = port.mid(QStringLiteral("tcp://").size());
    EXPECT_EQ(lostReason, QStringLiteral("сервер %1 закрыл соединение").arg(where));
    EXPECT_FALSE(line.isOpen());
    // The unit waits for the next client: the port opens again.
    EXPECT_FALSE(session.comopen());
}
