// ser2net, the serial device server, in front of a serial line (the simulated unit's
// pseudo-terminal), started on free ports of the loopback address: a raw TCP port, an RFC 2217
// port, and a Telnet port without RFC 2217. Stopped (SIGKILL, as a server switched off) when
// the object goes, or by kill().
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

namespace torl7::test {

class Ser2net {
public:
    static bool installed() { return !program().isEmpty(); }

    // Serves `device`, whose speed is `baud` on the raw port (the server's setting); false
    // (with error()) when ser2net does not come up. `chardelay`: ser2net's wait for more
    // serial bytes before it sends a segment (its default); off, each read goes at once.
    bool start(const QString& device, int baud, bool chardelay = true) {
        raw_ = freePort();
        rfc2217_ = freePort();
        telnetOnly_ = freePort();
        // A new client takes the serial side from one still being closed.
        const QString options = QStringLiteral("    options:\n      mdns: false\n"
                                               "      kickolduser: true\n"
                                               "      chardelay: %1\n")
                                    .arg(chardelay ? "true" : "false");
        const QString connector =
            QStringLiteral("    connector: serialdev,%1,%2n81,local\n").arg(device).arg(baud);
        QString config;
        const auto add = [&](const char* name, const QString& accepter, quint16 port) {
            config += QStringLiteral("connection: &%1\n    accepter: %2,127.0.0.1,%3\n")
                          .arg(QLatin1String(name), accepter)
                          .arg(port) +
                      connector + options;
        };
        add("raw", QStringLiteral("tcp"), raw_);
        add("rfc2217", QStringLiteral("telnet(rfc2217),tcp"), rfc2217_);
        add("telnet", QStringLiteral("telnet,tcp"), telnetOnly_);
        QFile file(dir_.filePath(QStringLiteral("ser2net.yaml")));
        if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0) {
            error_ = QStringLiteral("cannot write ") + file.fileName();
            return false;
        }
        file.close();
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(program(), {"-n", "-u", "-P", dir_.filePath(QStringLiteral("pid")), "-c",
                                   file.fileName()});
        // A machine busy with other builds may take seconds to start it.
        for (int attempt = 0; attempt < 500; ++attempt) {
            if (process_.state() == QProcess::NotRunning) {
                break;
            }
            if (listening(raw_) && listening(rfc2217_) && listening(telnetOnly_)) {
                return true;
            }
            QThread::msleep(30);
        }
        error_ = QStringLiteral("ser2net did not come up in 15 s: ") + process_.readAll();
        return false;
    }

    void kill() {
        process_.kill();
        process_.waitForFinished(3000);
    }
    ~Ser2net() { kill(); }

    QString raw() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(raw_); }
    QString rfc2217() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(rfc2217_); }
    QString telnetOnly() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(telnetOnly_); }
    QString error() const { return error_; }

private:
    static QString program() {
        return QStandardPaths::findExecutable(
            QStringLiteral("ser2net"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    }
    static quint16 freePort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }
    // Whether the port is taken by a listener. Not by connecting: a connection that comes and
    // goes at once keeps the server's serial side busy for a moment.
    static bool listening(quint16 port) {
        QTcpServer probe;
        return !probe.listen(QHostAddress::LocalHost, port);
    }

    QTemporaryDir dir_;
    QProcess process_;
    quint16 raw_ = 0;
    quint16 rfc2217_ = 0;
    quint16 telnetOnly_ = 0;
    QString error_;
};

} // namespace torl7::test
