// The lines to a serial server on the network: each failure to open is said by name. Against
// the simulated unit listening on the loopback address. (The server closing the connection,
// a lost line naming it: ser2net_test.cpp.)
#include "session/port_line.hpp"
#include "sim/simulated_unit.hpp"

#include <QTcpServer>
#include <gtest/gtest.h>

using namespace torl7;

namespace {

QString closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return QString::number(probe.serverPort()); // closed again when `probe` goes
}

sim::SimOptions listening(bool rfc2217) {
    sim::SimOptions options;
    options.listen = sim::ListenOptions{{"127.0.0.1", 0}, rfc2217};
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
