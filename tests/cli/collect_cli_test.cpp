// A substation collected end to end: torl7-cli's sweep and collect against two simulated
// buses of several units each.
#include "cli/cli_fixture.hpp"
#include "documents/docx_document.hpp"
#include "documents/settings_file.hpp"
#include "sim/command_line.hpp"

#include <QDirIterator>

#include <csignal>
#include <regex>

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
    // Lines bus1 and bus2; `units` the members of the units array.
    QString substation(const std::string& bus1, const std::string& bus2, const std::string& units) {
        spit(file("s.json"), R"({"format": "torl7-substation", "format_version": 1, "name": "",
            "lines": [{"id": "bus1", "port": ")" +
                                 bus1 + R"(", "speed_baud": 115200},
                      {"id": "bus2", "port": ")" +
                                 bus2 + R"(", "speed_baud": 115200}],
            "units": [)" + units +
                                 "]}");
        return file("s.json");
    }
    // Every file under the output folder, by its path relative to it.
    QStringList written() const {
        QStringList files;
        for (QDirIterator it(file("out"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();) {
            files << QDir(file("out")).relativeFilePath(it.next());
        }
        return files;
    }
    sim::SimulatedUnit second_;
};

} // namespace

TEST_F(CollectOverBuses, sweepListsExactlyTheUnitsOnTheLine) {
    port_ = QString::fromStdString(
        startBus(unit_, {"--unit", "600", "--unit", "601", "--unit", "615"}));
    const Result r = run({"sweep", "--from", "598", "--to", "620"});
    EXPECT_EQ(r.code, exitcode::Done) << r.err;
    EXPECT_EQ(r.out, "600\n601\n615\n");
}

TEST_F(CollectOverBuses, eachAnsweringUnitGetsItsFilesWholeAndTheOthersAreNamedWithWhy) {
    // 601 silent, 603 off the bus from its 6th answer (in its events), 700 with bad sums.
    const std::string bus1 =
        startBus(unit_, {"--unit", "600", "--unit", "601", "--unit", "603", "--unit", "615",
                         "--fault", "601:drop", "--fault", "603:drop@6-"});
    const std::string bus2 =
        startBus(second_, {"--unit", "700", "--unit", "708", "--fault", "700:corrupt"});
    const QString path = substation(bus1, bus2, R"(
        {"number": 600, "line": "bus1", "bay": "яч. 1"}, {"number": 601, "line": "bus1"},
        {"number": 603, "line": "bus1"}, {"number": 615, "line": "bus1", "motor": "Насос 4"},
        {"number": 700, "line": "bus2"}, {"number": 708, "line": "bus2"})");
    const QByteArray pathVariable = qgetenv("PATH");
    qputenv("PATH", QByteArray("/nonexistent")); // no LibreOffice: a note for the PDF
    const Result r = run({"--timeout-ms", "300", "collect", path, "--out", file("out")}, false);
    qputenv("PATH", pathVariable);
    EXPECT_EQ(r.code, exitcode::NoAnswer) << r.err;
    EXPECT_NE(r.err.find("3 of 6 units done"), std::string::npos) << r.err;
    // One row per unit in the file's order, with why a unit was not done.
    const std::string summary[] = {
        "600 +bus1 +done +яч. 1 — .*ТОРЛ_№600_",
        "601 +bus1 +no answer +— Линия молчит",
        "603 +bus1 +no answer +— Линия молчит",
        "615 +bus1 +done +Насос 4 — .*ТОРЛ_№615_",
        "700 +bus2 +no answer +— .*неверной контрольной суммой",
        "708 +bus2 +done +— .*ТОРЛ_№708_",
    };
    std::string pattern;
    for (const std::string& row : summary) {
        pattern += row + ".*\n";
    }
    EXPECT_TRUE(std::regex_match(r.out, std::regex(pattern))) << r.out;

    // The bundle's files of each unit done and nothing else, each read back and checked
    // against what the unit holds.
    const QStringList files = written();
    EXPECT_EQ(files.size(), 3 * 6) << files.join(' ').toStdString();
    for (const int unit : {600, 615, 708}) {
        const QString base = QStringLiteral("_№%1_").arg(unit);
        const auto read = [&](const QString& suffix) {
            const auto found = std::find_if(files.begin(), files.end(), [&](const QString& f) {
                return f.contains(base) && f.endsWith(suffix);
            });
            return found == files.end() ? QString() : file("out/" + *found);
        };
        const ConfigRecord held = (unit < 700 ? unit_ : second_)
                                      .withUnit(static_cast<std::uint16_t>(unit),
                                                [](sim::UnitModel& model, sim::FaultInjector&) {
                                                    return model.state().record;
                                                });
        const SettingsReadResult settings = readSettingsFile(slurp(read("_настройки.json")));
        ASSERT_TRUE(settings.file) << unit << ": " << settings.error;
        EXPECT_EQ(settings.file->record, held) << unit;
        EXPECT_EQ(settings.file->provenance.firmware, "ТОРЛ-7 v2.04");
        // A title line, the sample protocol's 18 dated records and the unit's N % 10 + 1 trips.
        const std::string csv = slurp(read("_события.csv"));
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 18 + unit % 10 + 1) << unit;
        EXPECT_EQ(object(slurp(read("_учет.json")))["raw"].toObject()["trips"].toInt(),
                  unit % 10 + 1);
        DocxDocument report;
        EXPECT_TRUE(report.openFile(read(".docx").toStdString())) << unit;
        EXPECT_NE(slurp(read("_PDF_не_создан.txt")), "") << unit;
        EXPECT_NE(slurp(read("_осциллограммы_не_сняты.txt")), "") << unit;
    }
}

TEST_F(CollectOverBuses, anInterruptEndsTheRunWithTheFinishedUnitsWholeAndTheRestCancelled) {
    // 601 is silent; while the tool waits for it, the user presses Ctrl-C.
    static std::sig_atomic_t raised = 0;
    unit_.setListener([](const sim::ServerEvent& event) {
        if (event.kind == sim::ServerEvent::Kind::Silent && !raised) {
            raised = 1;
            std::raise(SIGINT);
        }
    });
    const std::string bus1 =
        startBus(unit_, {"--unit", "600", "--unit", "601", "--unit", "602", "--fault", "601:drop"});
    const QString path = substation(bus1, bus1, R"({"number": 600, "line": "bus1"},
        {"number": 601, "line": "bus1"}, {"number": 602, "line": "bus1"})");
    const Result r = run({"--timeout-ms", "5000", "collect", path, "--out", file("out")}, false);
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(r.code, exitcode::NoAnswer) << r.err;
    EXPECT_TRUE(std::regex_match(
        r.out, std::regex("600 +bus1 +done.*\n601 +bus1 +cancelled.*\n602 +bus1 +cancelled.*\n")))
        << r.out;
    EXPECT_EQ(written().size(), 6) << written().join(' ').toStdString();
}
