// A substation collected end to end: torl7-cli's sweep and collect against two simulated
// buses of several units each, one unit silent, one answering with bad sums, one that stops
// answering part-way through its event protocol.
#include "cli/cli_fixture.hpp"
#include "documents/docx_document.hpp"
#include "documents/settings_file.hpp"
#include "sim/command_line.hpp"

#include <QDirIterator>
#include <QJsonArray>

#include <cctype>
#include <csignal>
#include <map>

using namespace torl7;
using namespace torl7::test;

namespace {

class CollectOverBuses : public CliAgainstUnit {
protected:
    void TearDown() override {
        second_.stop();
        CliAgainstUnit::TearDown();
    }

    static std::string startBus(sim::SimulatedUnit& bus, std::vector<std::string> args) {
        const auto line = std::get<sim::CommandLine>(sim::parseCommandLine(args));
        return bus.startBus(sim::unitsOnLine(line.options, line.units, line.unitFaults));
    }

    QString substationFile(const std::string& bus1, const std::string& bus2,
                           const std::string& units) {
        const QString path = file("substation.json");
        spit(path, R"({"format": "torl7-substation", "format_version": 1, "name": "ПС",
            "lines": [{"id": "bus1", "port": ")" +
                       bus1 + R"(", "speed_baud": 115200},
                      {"id": "bus2", "port": ")" +
                       bus2 + R"(", "speed_baud": 115200}],
            "units": [)" +
                       units + "]}");
        return path;
    }

    // The folders under `out`, by the factory number in their name, and every file there.
    static std::map<int, QString> unitFolders(const QString& out, QStringList& allFiles) {
        std::map<int, QString> folders;
        for (const QString& name : QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            folders[name.section(QStringLiteral("№"), 1).section('_', 0, 0).toInt()] =
                QDir(out).filePath(name);
        }
        QDirIterator all(out, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (all.hasNext()) {
            allFiles << QFileInfo(all.next()).fileName();
        }
        return folders;
    }

    sim::SimulatedUnit second_;
};

// A summary line: number, line, result, then the title and detail.
std::map<int, std::string> summaryRows(const std::string& out) {
    std::map<int, std::string> rows;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) {
            rows[std::stoi(line)] = line;
        }
    }
    return rows;
}

std::sig_atomic_t gInterruptRaised = 0;

} // namespace

TEST_F(CollectOverBuses, sweepListsExactlyTheUnitsOnTheLine) {
    port_ = QString::fromStdString(
        startBus(unit_, {"--unit", "600", "--unit", "601", "--unit", "615"}));
    const Result r = run({"sweep", "--from", "598", "--to", "620"});
    EXPECT_EQ(r.code, exitcode::Done) << r.err;
    EXPECT_EQ(r.out, "600\n601\n615\n");
}

TEST_F(CollectOverBuses, eachAnsweringUnitGetsItsFilesWholeAndTheOthersAreNamedWithWhy) {
    const std::string bus1 = startBus(unit_, {"--unit", "600", "--unit", "601", "--unit", "603",
                                              "--unit", "615", "--fault", "601:drop", "--fault",
                                              "603:drop@6-"}); // off the bus in its events
    const std::string bus2 =
        startBus(second_, {"--unit", "700", "--unit", "708", "--fault", "700:corrupt"});
    const QString substation = substationFile(bus1, bus2, R"(
        {"number": 600, "line": "bus1", "bay": "яч. 1"}, {"number": 601, "line": "bus1"},
        {"number": 603, "line": "bus1"}, {"number": 615, "line": "bus1", "motor": "Насос 4"},
        {"number": 700, "line": "bus2"}, {"number": 708, "line": "bus2"})");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray("/nonexistent")); // no LibreOffice: a note for the PDF
    const Result r =
        run({"--timeout-ms", "300", "collect", substation, "--out", file("out")}, false);
    qputenv("PATH", path);
    EXPECT_EQ(r.code, exitcode::NoAnswer) << r.err;
    EXPECT_NE(r.err.find("3 of 6 units done"), std::string::npos) << r.err;

    // The summary: one row per unit in the file's order; why a unit was not done.
    const struct {
        int unit;
        const char* line;
        const char* result;
        const char* detail;
    } expected[] = {
        {600, "bus1", "done", "яч. 1"},
        {601, "bus1", "no answer", "Линия молчит"},
        {603, "bus1", "no answer", "Линия молчит"},
        {615, "bus1", "done", "Насос 4"},
        {700, "bus2", "no answer", "неверной контрольной суммой"},
        {708, "bus2", "done", "ТОРЛ_№708_"},
    };
    const auto rows = summaryRows(r.out);
    EXPECT_EQ(rows.size(), std::size(expected)) << r.out;
    for (const auto& row : expected) {
        const std::string line = rows.count(row.unit) ? rows.at(row.unit) : "";
        std::istringstream words(line);
        std::string number, bus, result;
        words >> number >> bus >> result;
        if (result == "no") {
            words >> result;
            result = "no " + result;
        }
        EXPECT_EQ(bus, row.line) << line;
        EXPECT_EQ(result, row.result) << line;
        EXPECT_NE(line.find(row.detail), std::string::npos) << line;
    }

    // A folder for each unit done and for no other, holding the bundle's files and nothing
    // half-written; each file read back by a reader of its own and checked against the unit.
    QStringList allFiles;
    const auto folders = unitFolders(file("out"), allFiles);
    EXPECT_EQ(folders.size(), 3u);
    for (const QString& name : allFiles) {
        EXPECT_FALSE(name.endsWith(".tmp")) << name.toStdString();
    }
    for (const int unit : {600, 615, 708}) {
        ASSERT_TRUE(folders.count(unit)) << unit;
        sim::SimulatedUnit& bus = unit < 700 ? unit_ : second_;
        const ConfigRecord held = bus.withUnit(
            static_cast<std::uint16_t>(unit),
            [](sim::UnitModel& model, sim::FaultInjector&) { return model.state().record; });
        QDir folder(folders.at(unit));
        const QDate date = QDate::fromString(folder.dirName().section('_', -1), Qt::ISODate);
        const QString base = QStringLiteral("ТОРЛ_№%1_%2").arg(unit).arg(date.toString("ddMM_yy"));
        QStringList names = folder.entryList(QDir::Files);
        names.sort();
        QStringList want = {base + ".docx",           base + "_PDF_не_создан.txt",
                            base + "_настройки.json", base + "_осциллограммы_не_сняты.txt",
                            base + "_события.csv",    base + "_учет.json"};
        want.sort();
        EXPECT_EQ(names, want) << unit;

        const SettingsReadResult settings =
            readSettingsFile(slurp(folder.filePath(base + "_настройки.json")));
        ASSERT_TRUE(settings.file) << settings.error;
        EXPECT_EQ(settings.file->record, held) << unit;
        EXPECT_EQ(settings.file->provenance.unit, unit);
        EXPECT_EQ(settings.file->provenance.firmware, "ТОРЛ-7 v2.04");

        // The sample protocol's 18 dated records and the N % 10 + 1 trips added to each unit;
        // a title line first, every line ended by CR LF.
        const std::string csv = slurp(folder.filePath(base + "_события.csv"));
        const auto lines = std::count(csv.begin(), csv.end(), '\n');
        EXPECT_EQ(lines, 1 + 18 + unit % 10 + 1) << unit;
        EXPECT_TRUE(csv.ends_with("\r\n"));

        const QJsonObject accounting = object(slurp(folder.filePath(base + "_учет.json")));
        EXPECT_EQ(accounting["raw"].toObject()["trips"].toInt(), unit % 10 + 1) << unit;
        DocxDocument report;
        EXPECT_TRUE(report.openFile(folder.filePath(base + ".docx").toStdString()))
            << report.error();
    }
}

TEST_F(CollectOverBuses, anInterruptEndsTheRunWithTheFinishedUnitsWholeAndTheRestCancelled) {
    // 601 is silent; while the tool waits for it, the user presses Ctrl-C.
    unit_.setListener([&](const sim::ServerEvent& event) {
        if (event.kind == sim::ServerEvent::Kind::Silent && event.unit == 601 &&
            !gInterruptRaised) {
            gInterruptRaised = 1;
            std::raise(SIGINT);
        }
    });
    const std::string bus1 =
        startBus(unit_, {"--unit", "600", "--unit", "601", "--unit", "602", "--fault", "601:drop"});
    const std::string bus2 = startBus(second_, {"--unit", "700"});
    const QString substation = substationFile(bus1, bus2, R"(
        {"number": 600, "line": "bus1"}, {"number": 601, "line": "bus1"},
        {"number": 602, "line": "bus1"}, {"number": 700, "line": "bus2"})");
    const Result r = run({"--timeout-ms", "5000", "collect", substation, "--out", file("out"),
                          "--only", "600", "--only", "601", "--only", "602"},
                         false);
    EXPECT_EQ(gInterruptRaised, 1);
    EXPECT_EQ(r.code, exitcode::NoAnswer) << r.err;
    const auto rows = summaryRows(r.out);
    ASSERT_EQ(rows.size(), 3u) << r.out;
    EXPECT_NE(rows.at(600).find("done"), std::string::npos) << r.out;
    EXPECT_NE(rows.at(601).find("cancelled"), std::string::npos) << r.out;
    EXPECT_NE(rows.at(602).find("cancelled"), std::string::npos) << r.out;
    QStringList allFiles;
    const auto folders = unitFolders(file("out"), allFiles);
    EXPECT_EQ(folders.size(), 1u);
    EXPECT_EQ(allFiles.size(), 6) << allFiles.join(' ').toStdString();
}
