// A throw-away PostgreSQL cluster for tests: initdb into a temporary folder, the server started
// with pg_ctl on a free loopback port (its socket in the same folder), stopped and removed
// when the object goes. The server refuses to run as root: as root (CI) the folder is given to
// the user `nobody` and initdb and pg_ctl run as that user through runuser (util-linux, on
// every Debian). Superuser `torl7`, trust authentication on loopback only; fsync off (a test
// cluster need not survive a power cut).
#pragma once

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>

#include <atomic>
#include <unistd.h>

namespace torl7::test {

class PostgresCluster {
public:
    // Starts the cluster; false with error() when it does not come up.
    bool start() {
        const QString bin = binDir();
        if (bin.isEmpty()) {
            error_ = QStringLiteral("initdb not found (Debian package postgresql)");
            return false;
        }
        dir_.setAutoRemove(true);
        data_ = dir_.filePath(QStringLiteral("data"));
        if (geteuid() == 0 &&
            !run(QStringLiteral("chown"), {QStringLiteral("nobody"), dir_.path()}, false)) {
            return false;
        }
        if (!run(bin + QStringLiteral("/initdb"), {"-D", data_, "-U", "torl7", "-A", "trust", "-E",
                                                   "UTF8", "--locale=C", "--no-sync"})) {
            return false;
        }
        port_ = freePort();
        const QString options =
            QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                           "-c max_connections=40")
                .arg(port_)
                .arg(dir_.path());
        started_ = run(bin + QStringLiteral("/pg_ctl"),
                       {"-D", data_, "-o", options, "-l", dir_.filePath(QStringLiteral("log")),
                        "-w", "-t", "60", "start"});
        bin_ = bin;
        return started_;
    }

    ~PostgresCluster() {
        if (started_) {
            run(bin_ + QStringLiteral("/pg_ctl"), {"-D", data_, "-m", "immediate", "stop"});
        }
    }

    // A new empty database; its address for the tool.
    QString newDatabase() {
        static std::atomic<int> count{0};
        const QString name = QStringLiteral("archive%1").arg(++count);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            db.setHostName(QStringLiteral("127.0.0.1"));
            db.setPort(port_);
            db.setUserName(QStringLiteral("torl7"));
            db.setDatabaseName(QStringLiteral("postgres"));
            if (!db.open() || !QSqlQuery(db).exec(QStringLiteral("CREATE DATABASE ") + name)) {
                error_ = db.lastError().text();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        return QStringLiteral("postgresql://torl7@127.0.0.1:%1/%2").arg(port_).arg(name);
    }

    QString error() const { return error_; }

private:
    static QString binDir() {
        // Debian keeps the server programs out of PATH, one folder per major version.
        QDir versions(QStringLiteral("/usr/lib/postgresql"));
        QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(found.begin(), found.end(),
                  [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
        for (const QString& version : found) {
            if (QFile::exists(versions.filePath(version + QStringLiteral("/bin/initdb")))) {
                return versions.filePath(version + QStringLiteral("/bin"));
            }
        }
        const QString onPath = QStandardPaths::findExecutable(QStringLiteral("initdb"));
        return onPath.isEmpty() ? QString() : QFileInfo(onPath).absolutePath();
    }

    static quint16 freePort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

    // As the user the server runs as.
    bool run(const QString& program, const QStringList& arguments, bool asServerUser = true) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(dir_.path());
        if (asServerUser && geteuid() == 0) {
            process.start(QStringLiteral("runuser"),
                          QStringList{"-u", "nobody", "--", program} + arguments);
        } else {
            process.start(program, arguments);
        }
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            QFile log(dir_.filePath(QStringLiteral("log")));
            log.open(QIODevice::ReadOnly);
            error_ = program + QStringLiteral(" failed: ") + process.readAll() + log.readAll();
            return false;
        }
        return true;
    }

    QTemporaryDir dir_;
    QString data_;
    QString bin_;
    quint16 port_ = 0;
    bool started_ = false;
    QString error_;
};

} // namespace torl7::test
