// torl7-cli against simulated units on lines of their own: two collections with new events in
// between, and a write; the archive on either engine.
#include "archive_fixture.hpp"

#include "commands.hpp"
#include "sim/simulated_unit.hpp"

#include <QFile>
#include <QRegularExpression>

#include <sstream>

namespace torl7::test {
namespace {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

CliRun cli(const QStringList& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    run.code = runCli(QStringList{"torl7-cli"} + arguments, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// The CSV's records without the byte-order mark and the title line, each split at ';'.
std::vector<QStringList> csvRows(const std::string& csv) {
    QStringList lines =
        QString::fromStdString(csv).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    std::vector<QStringList> rows;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        rows.push_back(lines[i].split(';'));
    }
    return rows;
}

// "dd.mm.yy  hh:mm:ss:N" as yymmddhhmmss, which orders as the time does.
QString timeKey(const QString& dateTime) {
    return dateTime.mid(6, 2) + dateTime.mid(3, 2) + dateTime.mid(0, 2) + dateTime.mid(10, 2) +
           dateTime.mid(13, 2) + dateTime.mid(16, 2);
}

class ArchiveAgainstUnits : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        location_ = newLocation(GetParam(), dir_);
        for (int i = 0; i < 2; ++i) {
            sim::SimOptions options;
            options.unit.factoryNumber = static_cast<std::uint16_t>(600 + i);
            ports_[i] = QString::fromStdString(units_[i].start(options));
        }
        substation_ = dir_.filePath("substation.json");
        QFile file(substation_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(
                       R"({"format": "torl7-substation", "format_version": 1, "name": "ПС",
 "lines": [{"id": "bus1", "port": "%1", "speed_baud": 115200},
           {"id": "bus2", "port": "%2", "speed_baud": 115200}],
 "units": [{"number": 600, "line": "bus1", "switchgear": "КРУ-6 кВ", "bay": "яч. 4",
            "motor": "Насос 1"},
           {"number": 601, "line": "bus2", "bay": "яч. 9"}]})")
                       .arg(ports_[0], ports_[1])
                       .toUtf8());
    }
    void TearDown() override {
        for (auto& unit : units_) {
            unit.stop();
        }
    }

    QTemporaryDir dir_;
    QString location_;
    QString substation_;
    sim::SimulatedUnit units_[2];
    QString ports_[2];
};

TEST_P(ArchiveAgainstUnits, twoCollectionsGiveATimelineOfEveryEventOnceInTimeOrderWithNames) {
    const QStringList collect{"--archive", location_, "collect", substation_, "--out", dir_.path()};
    const CliRun first = cli(collect);
    ASSERT_EQ(first.code, 0) << first.err;
    const QDateTime newEvents[2] = {QDateTime(QDate(2026, 9, 1), QTime(8, 0)),
                                    QDateTime(QDate(2025, 12, 20), QTime(6, 3, 58))};
    for (int i = 0; i < 2; ++i) {
        units_[i].withUnit([&](sim::UnitModel& model, auto&) {
            model.state().protocol.append(decodeEventRecord(eventBytes(newEvents[i], 0, 0x20)));
        });
    }
    ASSERT_EQ(cli(collect).code, 0);

    // The units' own protocols, as the grid shows them, now hold every event of both.
    std::vector<QStringList> own[2];
    for (int i = 0; i < 2; ++i) {
        own[i] = csvRows(cli({"--port", ports_[i], "--unit", QString::number(600 + i), "--archive",
                              location_, "read-events"})
                             .out);
    }
    const CliRun timeline = cli({"--archive", location_, "timeline", "--substation", substation_});
    ASSERT_EQ(timeline.code, 0) << timeline.err;
    const std::vector<QStringList> rows = csvRows(timeline.out);
    ASSERT_EQ(rows.size(), own[0].size() + own[1].size()) << first.err << timeline.err;
    std::vector<QStringList> ofUnit[2];
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const int i = rows[r][0] == "600" ? 0 : 1;
        EXPECT_EQ(rows[r][1], i == 0 ? "КРУ-6 кВ, яч. 4, Насос 1" : "яч. 9");
        ofUnit[i].push_back(rows[r].mid(2));
        if (r > 0) {
            EXPECT_LE(timeKey(rows[r - 1][2]), timeKey(rows[r][2])) << r;
        }
    }
    EXPECT_EQ(ofUnit[0], own[0]);
    EXPECT_EQ(ofUnit[1], own[1]);
}

TEST_P(ArchiveAgainstUnits, anArchiveThatCannotBeWrittenFailsNoReadAndIsNamedOnce) {
    // Not a database; a server where none listens.
    const QString text = dir_.filePath("notes.txt");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not an archive\n");
    file.close();
    const QString location =
        GetParam() == Engine::SQLite ? text : QStringLiteral("postgresql://torl7@127.0.0.1:1/x");
    const CliRun run = cli({"--archive", location, "collect", substation_, "--out", dir_.path()});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(QString::fromStdString(run.err).count("the archive was not written"), 1) << run.err;
    EXPECT_EQ(QString::fromStdString(run.out).count(QRegularExpression(
                  "^60[01] +bus\\d +done ", QRegularExpression::MultilineOption)),
              2)
        << run.out;
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("not an archive\n"));
}

TEST_P(ArchiveAgainstUnits, aWriteShowsInTheHistoryWithTheSettingsFoundAndWhatTheUnitTook) {
    const QString settings = dir_.filePath("600.json");
    const QStringList port{"--port", ports_[0], "--unit", "600", "--archive", location_};
    ASSERT_EQ(cli(port + QStringList{"read-config", "-o", settings}).code, 0);
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    file.close();
    const qsizetype at =
        text.indexOf(QStringLiteral("\"threshold_v\": "), text.indexOf(QStringLiteral("\"umin\"")));
    ASSERT_GE(at, 0) << text.toStdString();
    text.replace(at, text.indexOf(',', at) - at, QStringLiteral("\"threshold_v\": 185"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
    file.close();
    const CliRun write = cli(port + QStringList{"write-config", settings, "--yes"});
    ASSERT_EQ(write.code, 0) << write.err;

    const CliRun history = cli({"--archive", location_, "history", "600"});
    ASSERT_EQ(history.code, 0) << history.err;
    const QStringList lines = QString::fromStdString(history.out).split('\n', Qt::SkipEmptyParts);
    // The read, the settings found, the write: where they were kept, what it changed, and what
    // the unit holds against the settings found.
    ASSERT_EQ(lines.size(), 6) << history.out << write.err << write.out;
    EXPECT_TRUE(lines[0].startsWith("#1 ") && lines[0].contains("read-config"));
    EXPECT_TRUE(lines[1].contains("as-found"));
    EXPECT_TRUE(lines[2].contains("write-config") && lines[2].contains(" taken"));
    EXPECT_TRUE(lines[3].contains("settings found before: reading"));
    EXPECT_TRUE(lines[4].startsWith("    written: umin.threshold_v: ") &&
                lines[4].endsWith(" -> 185"));
    EXPECT_TRUE(lines[5].startsWith("    changed: umin.threshold_v: ") &&
                lines[5].endsWith(" -> 185"));
}

INSTANTIATE_TEST_SUITE_P(BothEngines, ArchiveAgainstUnits,
                         ::testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

} // namespace
} // namespace torl7::test
