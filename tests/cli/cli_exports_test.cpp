// torl7-cli's export files against the simulated unit: the waveforms as COMTRADE and CSV read
// back by the COMTRADE reader (itself held to records written by hand), to the samples the unit
// sent.
#include "cli/cli_fixture.hpp"
#include "documents/comtrade_reader.hpp"
#include "protocol/request_kind.hpp"

#include <QDate>
#include <QDir>
#include <QJsonArray>

using namespace torl7;
using namespace torl7::test;

TEST_F(CliAgainstUnit, waveformsAsComtradeAndCsvHoldTheSamplesTheUnitSent) {
    startUnit();
    const Result r = run(
        {"waveforms", "--comtrade", file("trip"), "--csv", file("trip.csv"), "--rate", "1562,5"});
    ASSERT_EQ(r.code, exitcode::Done) << r.err;
    EXPECT_EQ(requestKinds(), (std::vector<std::uint8_t>{kind::ConfigRead, kind::Diagnostics,
                                                         kind::Diagnostics, kind::Diagnostics}))
        << "the installation text comes from the configuration";

    const ComtradeRead got = readComtrade(slurp(file("trip.cfg")), slurp(file("trip.dat")));
    ASSERT_TRUE(got.record) << got.error.text();
    const ComtradeRecord& read = *got.record;
    EXPECT_EQ(read.device, "600");
    EXPECT_EQ(read.revision, 1999);
    ASSERT_EQ(read.rates.size(), 1u);
    EXPECT_EQ(read.rates[0], (std::pair<double, long>{1562.5, 100}));
    ASSERT_EQ(read.analogCount, 6);
    const QJsonArray phases = object(r.out)["phases"].toArray();
    ASSERT_EQ(phases.size(), 3);
    for (int n = 0; n < 6; ++n) {
        const bool voltage = n < 3;
        const QJsonObject phase = phases[n % 3].toObject();
        const QJsonArray sent = phase[voltage ? "voltage" : "current"].toArray();
        const std::string name = std::string(voltage ? "U" : "I") + static_cast<char>('a' + n % 3);
        EXPECT_EQ(read.analogs[static_cast<std::size_t>(n)].id, name);
        EXPECT_EQ(read.analogs[static_cast<std::size_t>(n)].unit, "raw");
        ASSERT_EQ(sent.size(), 100);
        const std::vector<double>& values = read.samples[static_cast<std::size_t>(n)];
        ASSERT_EQ(values.size(), 100u);
        for (int i = 0; i < 100; ++i) {
            ASSERT_EQ(values[static_cast<std::size_t>(i)], sent[i].toInt()) << name << " " << i;
        }
    }
    const std::string csv = slurp(file("trip.csv"));
    EXPECT_TRUE(csv.starts_with("\xEF\xBB\xBF№;t, мс;Ua;Ub;Uc;Ia;Ib;Ic\r\n1;0;"))
        << csv.substr(0, 80);
    EXPECT_NE(csv.find("\r\n2;0,64;"), std::string::npos) << "1 / 1562.5 Hz = 0.64 ms";
}

TEST_F(CliAgainstUnit, waveformFilesNeedARateAboveZeroAndAskNothingWithout) {
    startUnit();
    const struct {
        QStringList arguments;
        int code;
    } cases[] = {
        {{"waveforms", "--comtrade", "x"}, exitcode::Usage},
        {{"waveforms", "--csv", "x.csv"}, exitcode::Usage},
        {{"waveforms", "--comtrade", "x", "--rate", "0"}, exitcode::Invalid},
        {{"waveforms", "--comtrade", "x", "--rate", "-2000"}, exitcode::Invalid},
        {{"waveforms", "--csv", "x.csv", "--rate", "fast"}, exitcode::Invalid},
    };
    for (const auto& c : cases) {
        const Result r = run(c.arguments);
        EXPECT_EQ(r.code, c.code) << c.arguments.join(' ').toStdString() << ": " << r.err;
        EXPECT_NE(r.err.find("--rate"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(requests().empty());
    EXPECT_TRUE(QDir(file("")).isEmpty());
}

TEST_F(CliAgainstUnit, anOutputThatCannotBeWrittenIsRefusedBeforeTheUnitIsAsked) {
    startUnit();
    spit(file("plain"), "a file where a folder should be");
    const QStringList cases[] = {
        {"read-config", "-o", file("missing/unit.json")},
        {"report", "-o", file("missing/r.docx")},
        {"waveforms", "--comtrade", file("missing/w"), "--rate", "2000"},
        {"waveforms", "--csv", file("plain/w.csv"), "--rate", "2000"},
        {"bundle", file("plain/out"), "--rate", "2000"},
    };
    for (const QStringList& arguments : cases) {
        const Result r = run(arguments);
        EXPECT_EQ(r.code, exitcode::Invalid) << arguments.join(' ').toStdString();
        EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(requests().empty());
}

// The bundle without LibreOffice: every file in the folder named by factory number and date,
// the note in place of the PDF; a file that cannot be written is named and leaves no part.
TEST_F(CliAgainstUnit, bundleWritesEveryFileIntoOneFolderAndNamesAFileItCannotWrite) {
    startUnit();
    const QDate today = QDate::currentDate();
    const QString folder = QStringLiteral("ТОРЛ_№600_%1").arg(today.toString(Qt::ISODate));
    const QString base =
        QStringLiteral("ТОРЛ_№600_%1").arg(today.toString(QStringLiteral("ddMM_yy")));
    // An earlier run of the day made a PDF and had no waveforms: neither belongs to this one.
    QDir(file("")).mkpath("out/" + folder);
    spit(file("out/" + folder + "/" + base + ".pdf"), "%PDF of the earlier report");
    spit(file("out/" + folder + "/" + base + "_осциллограммы_не_сняты.txt"), "earlier note");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray("/nonexistent"));
    const Result r = run({"bundle", file("out"), "--rate", "2000"});
    qputenv("PATH", path);
    ASSERT_EQ(r.code, exitcode::Done) << r.err;

    const QStringList expected = {base + ".docx",
                                  base + "_PDF_не_создан.txt",
                                  base + "_настройки.json",
                                  base + "_осциллограммы.cfg",
                                  base + "_осциллограммы.dat",
                                  base + "_события.csv",
                                  base + "_учет.json"};
    QDir out(file("out/" + folder));
    QStringList found = out.entryList(QDir::Files | QDir::Hidden);
    found.sort();
    QStringList sorted = expected;
    sorted.sort();
    EXPECT_EQ(found, sorted);
    EXPECT_NE(slurp(out.filePath(base + "_PDF_не_создан.txt")).find("LibreOffice"),
              std::string::npos);
    EXPECT_TRUE(slurp(out.filePath(base + "_события.csv")).starts_with("\xEF\xBB\xBFДата/Время;"));
    const auto comtrade = readComtrade(slurp(out.filePath(base + "_осциллограммы.cfg")),
                                       slurp(out.filePath(base + "_осциллограммы.dat")));
    ASSERT_TRUE(comtrade.record) << comtrade.error.text();
    EXPECT_EQ(comtrade.record->analogCount, 6);

    // A folder standing where the events file goes: the failure names it, nothing half-written,
    // and the report of the earlier run stays as it was.
    QDir(file("again/" + folder)).mkpath(base + "_события.csv");
    spit(file("again/" + folder + "/" + base + ".docx"), "earlier report");
    qputenv("PATH", QByteArray("/nonexistent"));
    const Result failed = run({"bundle", file("again"), "--rate", "2000"});
    qputenv("PATH", path);
    EXPECT_EQ(failed.code, exitcode::Invalid);
    EXPECT_NE(failed.err.find("_события.csv"), std::string::npos) << failed.err;
    for (const QString& name :
         QDir(file("again/" + folder)).entryList(QDir::Files | QDir::Hidden)) {
        EXPECT_FALSE(name.endsWith(".tmp")) << name.toStdString();
    }
    EXPECT_EQ(slurp(file("again/" + folder + "/" + base + ".docx")), "earlier report");
    EXPECT_EQ(run({"bundle", file("out")}).code, exitcode::Usage) << "no --rate";
}
