// What the archive does with a file that is not what it should be: one message, nothing of the
// file changed. And the processes: a collector killed half-way, two collectors at once.
#include "archive_fixture.hpp"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace torl7::test {
namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void sqliteStatement(const QString& path, const QString& statement) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(QSqlQuery(db).exec(statement));
    }
    QSqlDatabase::removeDatabase("other");
}

struct BadFile {
    const char* name;
    std::function<void(const QString& path)> make;
    Archive::Access access;
    ArchiveProblem::Kind kind;
};

TEST(ArchiveFile, aFileThatIsNoArchiveIsRefusedWithOneMessageAndLeftAsItIs) {
    const std::vector<BadFile> cases = {
        {"text",
         [](const QString& path) {
             QFile file(path);
             file.open(QIODevice::WriteOnly);
             file.write("units;readings\n600;1\n");
         },
         Archive::Access::ReadWrite, ArchiveProblem::Kind::NotADatabase},
        {"another database",
         [](const QString& path) { sqliteStatement(path, "CREATE TABLE parts (name TEXT)"); },
         Archive::Access::ReadWrite, ArchiveProblem::Kind::NotAnArchive},
        {"read-only archive",
         [](const QString& path) {
             openArchive(path)->store(madeUpReading(600, 0));
             QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
         },
         Archive::Access::ReadWrite, ArchiveProblem::Kind::ReadOnly},
        {"no file, asked a question", [](const QString&) {}, Archive::Access::ReadOnly,
         ArchiveProblem::Kind::Missing},
    };
    for (const BadFile& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("archive.sqlite");
        c.make(path);
        const QByteArray before = contents(path);
        auto opened = Archive::open(path, c.access);
        ASSERT_TRUE(std::holds_alternative<ArchiveProblem>(opened));
        const ArchiveProblem& problem = std::get<ArchiveProblem>(opened);
        EXPECT_EQ(problem.kind, c.kind) << problem.message.toStdString();
        EXPECT_TRUE(problem.message.contains(QDir::toNativeSeparators(path)));
        EXPECT_EQ(contents(path), before);
        EXPECT_EQ(QFile::exists(path), !before.isEmpty() || c.access == Archive::Access::ReadWrite);
    }
}

TEST(ArchiveFile, aLockedArchiveRefusesTheReadingUntilTheLockGoes) {
    QTemporaryDir dir;
    const QString path = dir.filePath("archive.sqlite");
    openArchive(path)->store(madeUpReading(600, 0));
    auto opened = Archive::open(path, Archive::Access::ReadWrite, 200);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<Archive>>(opened));
    Archive& archive = *std::get<std::unique_ptr<Archive>>(opened);

    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "locker");
    other.setDatabaseName(path);
    ASSERT_TRUE(other.open());
    QSqlQuery lock(other);
    ASSERT_TRUE(lock.exec("BEGIN IMMEDIATE"));
    const auto refused = archive.store(madeUpReading(600, 1));
    ASSERT_TRUE(std::holds_alternative<ArchiveProblem>(refused));
    EXPECT_EQ(std::get<ArchiveProblem>(refused).kind, ArchiveProblem::Kind::Locked);
    ASSERT_TRUE(lock.exec("ROLLBACK"));
    lock = QSqlQuery();
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase("locker");
    EXPECT_TRUE(std::holds_alternative<qint64>(archive.store(madeUpReading(600, 1))));
    EXPECT_EQ(count(archive, "readings"), 2);
}

// Collectors as processes of their own, storing unit 600's made-up readings.
class Collectors : public ::testing::TestWithParam<Engine> {
protected:
    void collector(QProcess& process, const QString& location, int first, int count) {
        process.start(
            QCoreApplication::applicationFilePath(),
            {"--store-readings", location, QString::number(first), QString::number(count)});
        ASSERT_TRUE(process.waitForStarted());
    }
    QTemporaryDir dir_;
};

TEST_P(Collectors, oneKilledHalfWayLeavesWholeReadingsOnly) {
    const QString location = newLocation(GetParam(), dir_);
    QProcess process;
    collector(process, location, 0, 0);
    int stored = 0;
    while (stored < 5 && process.waitForReadyRead(30000)) {
        while (process.canReadLine()) {
            stored += process.readLine().startsWith("stored") ? 1 : 0;
        }
    }
    ASSERT_GE(stored, 5) << process.readAll().toStdString();
    process.kill(); // SIGKILL, in whatever statement it is
    process.waitForFinished();

    const auto archive = openArchive(location);
    ASSERT_TRUE(archive);
    if (GetParam() == Engine::SQLite) {
        EXPECT_EQ(archive->scalar("PRAGMA integrity_check").toString(), "ok");
    }
    const qint64 readings = count(*archive, "readings");
    EXPECT_GE(readings, stored);
    EXPECT_EQ(count(*archive, "configurations"), readings);
    EXPECT_EQ(count(*archive, "accounting"), readings);
    EXPECT_EQ(archive
                  ->scalar("SELECT count(*) FROM readings r WHERE (SELECT count(*) FROM "
                           "events e WHERE e.first_reading_id = r.id) <> 100")
                  .toInt(),
              0);
}

TEST_P(Collectors, twoAtOnceStoreEachEventOnce) {
    const QString location = newLocation(GetParam(), dir_);
    openArchive(location); // the schema made before, as a collection's first reading does
    QProcess first;
    QProcess second;
    collector(first, location, 0, 12);
    collector(second, location, 0, 12);
    for (QProcess* p : {&first, &second}) {
        ASSERT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAll().toStdString();
    }
    const auto archive = openArchive(location);
    EXPECT_EQ(count(*archive, "readings"), 24);
    EXPECT_EQ(count(*archive, "events"), 12 * 100);
}

INSTANTIATE_TEST_SUITE_P(BothEngines, Collectors,
                         ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

} // namespace
} // namespace torl7::test
