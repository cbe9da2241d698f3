// torl7-cli against the simulated unit over a real pseudo-terminal: what each command sends
// to the unit, what it prints and how it exits.
#include "cli/cli_fixture.hpp"
#include "commands.hpp"
#include "documents/settings_file.hpp"
#include "protocol/codecs/calibration_codec.hpp"
#include "protocol/codecs/speed_change_codec.hpp"
#include "protocol/codecs/version_codec.hpp"
#include "protocol/request_kind.hpp"
#include "report/docx_reader.hpp"
#include "sim/simulated_unit.hpp"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <sstream>

using namespace torl7;
using namespace torl7::test;

namespace {

std::string oneLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

} // namespace

TEST_F(CliAgainstUnit, exitCodesTellUsageInvalidValuesAMissingPortAndASilentUnit) {
    startUnit(9600);
    Result r = run({"--bogus", "version"});
    EXPECT_EQ(r.code, exitcode::Usage);
    EXPECT_NE(r.err.find("bogus"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
    EXPECT_EQ(run({"frobnicate"}).code, exitcode::Usage);
    EXPECT_EQ(run({}).code, exitcode::Usage);
    EXPECT_EQ(run({"version"}, false).code, exitcode::Usage) << "--port is required";
    EXPECT_EQ(run({"--unit", "50", "version"}).code, exitcode::Invalid);
    EXPECT_EQ(run({"--speed", "1234", "version"}).code, exitcode::Invalid);
    EXPECT_EQ(run({"set-clock", "--calibration", "32"}).code, exitcode::Invalid);
    EXPECT_EQ(run({"reset-accounting"}).code, exitcode::Usage) << "needs --yes";
    EXPECT_EQ(run({"calibrate", "--ref", "ux=10", "--yes"}).code, exitcode::Usage);
    EXPECT_EQ(run({"calibrate", "--ref", "ua=0", "--yes"}).code, exitcode::Invalid);
    EXPECT_TRUE(requests().empty()) << "a refused command sends nothing";

    r = run({"--port", file("no-such-port"), "version"}, false);
    EXPECT_EQ(r.code, exitcode::PortFailed);
    EXPECT_NE(r.err.find("no-such-port"), std::string::npos);

    // The unit listens at 9600 only: at 115200 nothing it can hear arrives.
    r = run({"--timeout-ms", "150", "version"});
    EXPECT_EQ(r.code, exitcode::NoAnswer);
    EXPECT_EQ(oneLine(r.err), "torl7-cli: the unit did not answer the firmware version request");
    EXPECT_TRUE(r.out.empty());
}

// A word the command does not take, an option given twice, a number out of its range: each
// would leave the command to guess, so each is refused with what was wrong, and nothing is sent.
TEST_F(CliAgainstUnit, argumentsThatLeaveTheCommandGuessingAreRefusedBeforeAnythingIsSent) {
    startUnit();
    const struct {
        QStringList arguments;
        bool withPort;
        int code;
        std::string said;
    } cases[] = {
        {{"read-config", "unit.json"}, true, exitcode::Usage, "'unit.json' is one too many"},
        {{"write-config"}, true, exitcode::Usage, "takes exactly FILE"},
        {{"--unit", "601", "--unit", "602", "version"}, true, exitcode::Usage,
         "--unit given more than once"},
        {{"calibrate", "--ref", "ub=230", "--ref", "ub=100", "--yes"}, true, exitcode::Usage,
         "--ref ub given more than once"},
        {{"calibrate", "--ref", "ua=1e308", "--yes"}, true, exitcode::Invalid, "is not a number"},
        {{"waveforms", "--csv", "w.csv", "--rate", "1e-300"}, true, exitcode::Invalid,
         "from 1 to 1000000"},
        {{"--port", "", "version"}, false, exitcode::Usage, "--port is empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Result r = run(c.arguments, c.withPort);
        EXPECT_EQ(r.code, c.code);
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    }
    EXPECT_TRUE(requests().empty());
}

TEST_F(CliAgainstUnit, aPortHeldByAnotherProgramIsSaidSoWithItsProcess) {
    startUnit();
    QProcess holder;
    holder.start(QStringLiteral(TORL7_CLI_PROGRAM), {"--port", port_, "monitor"});
    ASSERT_TRUE(holder.waitForReadyRead(10000)) << "the first snapshot: the port is held";
    const qint64 pid = holder.processId();
    const Result r = run({"version"});
    holder.kill();
    holder.waitForFinished();
    EXPECT_EQ(r.code, exitcode::PortFailed);
    EXPECT_EQ(oneLine(r.err), "torl7-cli: cannot open " + port_.toStdString() +
                                  ": the port is in use by another program (PID " +
                                  std::to_string(pid) + ")");
}

TEST_F(CliAgainstUnit, theLinesEchoNoiseAndSplitAnswersAreHandledAsTheWindowDoes) {
    startUnit(115200, {sim::FaultKind::Echo, sim::FaultKind::Noise, sim::FaultKind::Split,
                       sim::FaultKind::TrailingBytes});
    Result r = run({"read-accounting"});
    EXPECT_EQ(r.code, exitcode::Done) << r.err;
    EXPECT_GT(object(r.out)["raw"].toObject()["running_s"].toInteger(), 0)
        << "the echo of the read (no payload) was taken for its answer: " << r.out;
    r = run({"reset-protection"});
    EXPECT_EQ(r.code, exitcode::Done) << r.err;
}

TEST_F(CliAgainstUnit, aCorruptOrForeignAnswerIsNoAnswer) {
    startUnit(115200, {sim::FaultKind::CorruptChecksum});
    EXPECT_EQ(run({"--timeout-ms", "200", "version"}).code, exitcode::NoAnswer);
    unit_.stop();
    startUnit(115200, {sim::FaultKind::WrongCode});
    const Result r = run({"--timeout-ms", "200", "version"});
    EXPECT_EQ(r.code, exitcode::NoAnswer);
    EXPECT_TRUE(r.out.empty());
}

TEST_F(CliAgainstUnit, helpIsGivenForTheProgramAndForEachCommand) {
    startUnit();
    Result r = run({"--help"}, false);
    EXPECT_EQ(r.code, exitcode::Done);
    EXPECT_NE(r.out.find("write-config FILE --yes"), std::string::npos);
    r = run({"read-events", "--help"}, false);
    EXPECT_EQ(r.code, exitcode::Done);
    EXPECT_NE(r.out.find("--format"), std::string::npos);
    EXPECT_EQ(r.out.find("--count"), std::string::npos) << "only this command's options";
    r = run({"--version"}, false);
    EXPECT_EQ(r.code, exitcode::Done);
    EXPECT_EQ(r.out, "torl7-cli " + std::string(toolVersion()) + "\n");
}

TEST_F(CliAgainstUnit, searchFindsTheUnitsSpeedPingingSlowestFirst) {
    startUnit(9600);
    const Result r = run({"search"});
    EXPECT_EQ(r.code, exitcode::Done) << r.err;
    EXPECT_EQ(r.out, "9600\n");
    ASSERT_FALSE(requests().empty());
    EXPECT_EQ(requests().front(), pingFrame(600)) << "the unit heard the ping at its own speed";
}

TEST_F(CliAgainstUnit, searchWithNoUnitAnsweringExitsOne) {
    startUnit();
    const Result r = run({"--unit", "601", "search"});
    EXPECT_EQ(r.code, exitcode::NoAnswer);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(requests().size(), 2u) << "two pings at 115200, the unit's speed, none answered";
}

TEST_F(CliAgainstUnit, snapshotAndMonitorPrintRawValuesTextsAndIndicators) {
    startUnit();
    Result r = run({"snapshot"});
    ASSERT_EQ(r.code, exitcode::Done) << r.err;
    const QJsonObject snapshot = object(r.out);
    EXPECT_EQ(snapshot["unit"].toInt(), 600);
    EXPECT_TRUE(snapshot["raw"].toObject().contains("ua_v"));
    EXPECT_EQ(snapshot["texts"].toObject()["ttime"].toString().size(), 8) << r.out;
    EXPECT_TRUE(snapshot["indicators"].toObject().contains("sh_iso"));
    EXPECT_EQ(requests(), std::vector<Bytes>{buildFrame(600, kind::Diagnostics, Bytes{0})});

    r = run({"monitor", "--count", "3"});
    ASSERT_EQ(r.code, exitcode::Done) << r.err;
    std::istringstream lines(r.out);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_TRUE(object(line).contains("raw")) << line;
    }
    EXPECT_EQ(count, 3);
    EXPECT_EQ(requests().size(), 4u);
}

TEST_F(CliAgainstUnit, waveformsAskForEachPhaseMarkingTheLast) {
    startUnit();
    const Result r = run({"waveforms", "--phases", "2"});
    ASSERT_EQ(r.code, exitcode::Done) << r.err;
    const QJsonArray phases = object(r.out)["phases"].toArray();
    ASSERT_EQ(phases.size(), 2);
    EXPECT_EQ(phases[0].toObject()["phase"].toString(), "A");
    EXPECT_EQ(phases[1].toObject()["phase"].toString(), "B");
    EXPECT_EQ(phases[1].toObject()["voltage"].toArray().size(), 100);
    EXPECT_EQ(requests(), (std::vector<Bytes>{buildFrame(600, kind::Diagnostics, Bytes{1}),
                                              buildFrame(600, kind::Diagnostics, Bytes{18})}));
}

TEST_F(CliAgainstUnit, settingsReadWrittenBackAndComparedFieldByField) {
    startUnit();
    Result r = run({"read-config", "-o", file("unit.json")});
    ASSERT_EQ(r.code, exitcode::Done) << r.err;
    EXPECT_EQ(requestKinds(), (std::vector<std::uint8_t>{kind::Version, kind::ConfigRead}));
    const std::string text = slurp(file("unit.json"));
    const SettingsReadResult read = readSettingsFile(text);
    ASSERT_TRUE(read.file) << read.field << ": " << read.error;
    EXPECT_EQ(read.file->provenance.unit, 600);
    EXPECT_FALSE(read.file->provenance.readAt.empty());
    const std::vector<Bytes> got = answers(2);
    const auto configAnswer = std::find_if(got.begin(), got.end(),
                                           [](const Bytes& a) { return a[4] == kind::ConfigRead; });
    ASSERT_NE(configAnswer, got.end());
    EXPECT_EQ(read.file->record,
              asPageHolds(decodeConfigRecord(ByteSpan(*configAnswer).subspan(6))));

    r = run({"diff-config", file("unit.json")});
    EXPECT_EQ(r.code, exitcode::Done) << r.err;
    EXPECT_EQ(r.out, "") << "the unit holds what it just gave";

    std::string changed = text;
    changed.replace(changed.find("\"threshold_v\": 170"), 18, "\"threshold_v\": 180");
    spit(file("changed.json"), changed);
    r = run({"diff-config", file("changed.json")});
    EXPECT_EQ(r.out, "umin.threshold_v: file 180, unit 170\n");

    clearRequests();
    r = run({"write-config", file("changed.json"), "--yes"});
    ASSERT_EQ(r.code, exitcode::Done) << r.err << r.out;
    ConfigRecord expected = read.file->record;
    expected.uminVolts = 180;
    ASSERT_EQ(requests().size(), 3u);
    // The read that keeps the unit's settings also shows that the line does not echo, so no
    // ping goes before the write.
    EXPECT_EQ(requests()[0][4], kind::ConfigRead) << "the unit's settings are kept first";
    EXPECT_EQ(requests()[1], buildFrame(600, kind::Write, configWritePayload(expected)));
    EXPECT_EQ(requests()[2][4], kind::ConfigRead);
    const std::string keptLine = "the unit's settings before the write: ";
    ASSERT_EQ(r.out.rfind(keptLine, 0), 0u) << r.out;
    // Kept in the archive; its reading gives them back as a settings file.
    const std::string kept = r.out.substr(keptLine.size(), r.out.find('\n') - keptLine.size());
    const std::string readingMark = ", reading ";
    ASSERT_NE(kept.find("archive.sqlite" + readingMark), std::string::npos) << kept;
    const Result settings = run(
        {"history", "600", "--settings", QString::fromStdString(kept.substr(
                                             kept.find(readingMark) + readingMark.size()))},
        false);
    ASSERT_EQ(settings.code, exitcode::Done) << settings.err;
    const SettingsReadResult before = readSettingsFile(settings.out);
    ASSERT_TRUE(before.file) << before.error;
    EXPECT_EQ(before.file->record, read.file->record) << "Umin still 170 before the write";
    EXPECT_EQ(run({"diff-config", file("changed.json")}).out, "");
}

TEST_F(CliAgainstUnit, aBadSettingsFileIsRefusedWithItsFieldBeforeAnythingIsSent) {
    startUnit();
    std::string text = writeSettingsFile(ConfigRecord{}, {});
    text.replace(text.find("\"te_ms\": 3"), 10, "\"te_ms\": 100");
    spit(file("bad.json"), text);
    const Result r = run({"write-config", file("bad.json"), "--yes"});
    EXPECT_EQ(r.code, exitcode::Invalid);
    EXPECT_NE(r.err.find("rs485.te_ms"), std::string::npos) << r.err;
    text = writeSettingsFile(ConfigRecord{}, {});
    text.replace(text.find("\"ib_coefficient\": 200"), 21, "\"ib_coefficient\": 0");
    text.replace(text.find("\"uc_coefficient\": 570"), 21, "\"uc_coefficient\": 0");
    spit(file("zero.json"), text);
    const Result zero = run({"write-config", file("zero.json"), "--yes"});
    EXPECT_EQ(zero.code, exitcode::Invalid);
    EXPECT_NE(zero.err.find("calibration.ib_coefficient"), std::string::npos)
        << "Ib is checked before Uc: " << zero.err;
    EXPECT_EQ(run({"diff-config", file("missing.json")}).code, exitcode::Invalid);
    EXPECT_EQ(run({"write-config", file("bad.json")}).code, exitcode::Usage) << "no --yes";
    EXPECT_TRUE(requests().empty());
}

TEST_F(CliAgainstUnit, eventsComeInTimeOrderAsCsvAndJson) {
    startUnit();
    Result r = run({"read-events", "--separator", ","});
    ASSERT_EQ(r.code, exitcode::Done) << r.err;
    std::vector<Bytes> expected;
    for (std::uint8_t block = 0; block < 10; ++block) {
        expected.push_back(buildFrame(600, kind::EventBlock, Bytes{block}));
    }
    EXPECT_EQ(requests(), expected);
    ASSERT_TRUE(r.out.starts_with("\xEF\xBB\xBF")) << "UTF-8 byte-order mark";
    std::istringstream csv(r.out.substr(3));
    const auto nextLine = [&csv](std::string& line) {
        if (!std::getline(csv, line)) {
            return false;
        }
        EXPECT_TRUE(line.ends_with('\r')) << "CRLF line ends";
        line.pop_back();
        return true;
    };
    std::string header;
    nextLine(header);
    EXPECT_EQ(header, "Дата/Время,ТОРЛ,Обор.,Защита,\"Ua, В\",\"Ub, В\",\"Uc, В\",\"Ia, A\","
                      "\"Ib, A\",\"Ic, A\",\"Iут, А\",cos f");
    std::vector<std::string> dates;
    for (std::string line; nextLine(line);) {
        dates.push_back(line.substr(0, line.find(',')));
    }
    // By default the fields are separated by semicolons.
    r = run({"read-events"});
    ASSERT_EQ(r.code, exitcode::Done) << r.err;
    EXPECT_TRUE(r.out.starts_with("\xEF\xBB\xBFДата/Время;ТОРЛ;Обор.;Защита;Ua, В;Ub, В;Uc, В;"
                                  "Ia, A;Ib, A;Ic, A;Iут, А;cos f\r\n"))
        << r.out.substr(0, 200);
    EXPECT_EQ(run({"read-events", "--separator", "|"}).code, exitcode::Usage);
    ASSERT_FALSE(dates.empty()) << "the simulated unit keeps events";

    r = run({"read-events", "--format", "json"});
    ASSERT_EQ(r.code, exitcode::Done) << r.err;
    const QJsonObject document = object(r.out);
    const QJsonArray events = document["events"].toArray();
    ASSERT_EQ(static_cast<std::size_t>(events.size()), dates.size());
    // The sample protocol holds two written records without a real date (31 February, zeros).
    EXPECT_EQ(document["left_out"].toInt(), 2) << r.out.substr(r.out.size() - 40);
    EXPECT_NE(r.err.find("2 event record(s) left out"), std::string::npos) << r.err;
    for (qsizetype i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].toObject()["date_time"].toString().toStdString(),
                  dates[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(run({"read-events", "--format", "xml"}).code, exitcode::Usage);
}

TEST_F(CliAgainstUnit, oneShotCommandsSendTheirRequestAndPrintTheAnswer) {
    startUnit();
    Result r = run({"read-accounting"});
    ASSERT_EQ(r.code, exitcode::Done) << r.err;
    EXPECT_TRUE(object(r.out)["texts"].toObject().contains("running_time"));
    r = run({"reset-accounting", "--yes"});
    ASSERT_EQ(r.code, exitcode::Done) << r.err;
    EXPECT_EQ(object(r.out)["raw"].toObject()["starts"].toInt(), 0) << r.out;
    r = run({"reset-protection"});
    EXPECT_EQ(r.code, exitcode::Done) << r.err;
    r = run({"version"});
    EXPECT_EQ(r.code, exitcode::Done) << r.err;
    // The reset, whose answer may repeat it, went out after a ping: 5 answers so far.
    const std::vector<Bytes> got = answers(5);
    ASSERT_GE(got.size(), 5u);
    std::string version = decodeVersionText(ByteSpan(got[4]).subspan(6, 16));
    version.erase(version.find_last_not_of(' ') + 1);
    EXPECT_EQ(oneLine(r.out), version) << "the text without the blanks that pad it";
    EXPECT_FALSE(version.empty());
    r = run({"set-clock", "--calibration", "-5", "--auto-dst"});
    EXPECT_EQ(r.code, exitcode::Done) << r.err;
    EXPECT_EQ(r.out.rfind("clock set to ", 0), 0u) << r.out;

    const std::vector<Bytes> sent = requests();
    const Bytes ping = buildFrame(600, kind::Ping, {});
    ASSERT_EQ(sent.size(), 7u);
    EXPECT_EQ(sent[0], buildFrame(600, kind::AccountingRead, {}));
    EXPECT_EQ(sent[1], buildFrame(600, kind::AccountingReset, {}));
    EXPECT_EQ(sent[2], ping);
    EXPECT_EQ(sent[3], buildFrame(600, kind::ProtectionReset, {}));
    EXPECT_EQ(sent[4], buildFrame(600, kind::Version, {}));
    EXPECT_EQ(sent[5], ping) << "each command is a new process that checks the echo again";
    ASSERT_EQ(sent[6].size(), 17u);
    EXPECT_EQ(sent[6][4], kind::Clock);
    EXPECT_EQ(sent[6][6], 0x05) << "calibration -5";
    EXPECT_EQ(sent[6][14], 0x80) << "automatic summer time";
}

TEST_F(CliAgainstUnit, calibrationComputesTheNamedChannelsAndKeepsTheOthers) {
    startUnit();
    const Result r = run({"calibrate", "--ref", "ua=230", "--ref", "IA=5,5", "--yes"});
    ASSERT_EQ(r.code, exitcode::Done) << r.err;
    const std::vector<Bytes> sent = requests();
    const std::vector<Bytes> got = answers(11);
    ASSERT_EQ(sent.size(), 12u);
    ASSERT_GE(got.size(), 11u);
    EXPECT_EQ(sent[0][4], kind::ConfigRead);
    std::array<CalibrationSum, kCoefficientCount> sums{};
    for (std::size_t i = 1; i <= 10; ++i) {
        EXPECT_EQ(sent[i], buildFrame(600, kind::Diagnostics, Bytes{4}));
        const auto sample = decodeCalibrationSample(ByteSpan(got[i]).subspan(6));
        for (std::size_t c = 0; c < kCoefficientCount; ++c) {
            sums[c] += static_cast<CalibrationSum>(sample.readings[c]);
        }
    }
    const ConfigRecord held = decodeConfigRecord(ByteSpan(got[0]).subspan(6));
    std::array<std::int64_t, kCoefficientCount> want{};
    for (std::size_t c = 0; c < kCoefficientCount; ++c) {
        want[c] = held.coefficients[c];
    }
    want[0] = *computeCoefficient(Channel::Ua, sums[0], 230);
    want[3] = *computeCoefficient(Channel::Ia, sums[3], 5.5);
    EXPECT_EQ(sent[11], buildFrame(600, kind::Write, *coefficientWritePayload(want)));
    const QJsonObject printed = object(r.out);
    EXPECT_EQ(printed["coefficients"].toObject()["ua"].toInt(), want[0]);
    EXPECT_TRUE(printed.contains("protection_blocked"));
}

TEST_F(CliAgainstUnit, reportRunsTheChainAndFillsTheTemplate) {
    startUnit();
    const Result r = run({"--unit", "600", "report", "-o", file("r.docx")});
    ASSERT_EQ(r.code, exitcode::Done) << r.err;
    const std::vector<std::uint8_t> kinds = requestKinds();
    ASSERT_EQ(kinds.size(), 12u);
    EXPECT_EQ(kinds[0], kind::ConfigRead);
    EXPECT_EQ(kinds[1], kind::AccountingRead);
    EXPECT_EQ(kinds[11], kind::EventBlock);
    const std::string docx = slurp(file("r.docx"));
    const std::string xml = torl7::testing::readPart(
        std::vector<std::uint8_t>(docx.begin(), docx.end()), "word/document.xml");
    EXPECT_NE(xml.find("  600  "), std::string::npos);
    EXPECT_NE(xml.find("RURUDE"), std::string::npos);
    EXPECT_NE(xml.find("Калибровочный коэффициент Iут"), std::string::npos);
    EXPECT_EQ(run({"report"}).code, exitcode::Usage) << "-o is required";
}

TEST(CliProgram, theProgramExitsWithTheCodeOfItsOutcome) {
    auto run = [](const QStringList& arguments, QByteArray* errors = nullptr) {
        QProcess program;
        program.start(QStringLiteral(TORL7_CLI_PROGRAM), arguments);
        EXPECT_TRUE(program.waitForFinished(10000));
        if (errors) {
            *errors = program.readAllStandardError();
        }
        return program.exitCode();
    };
    QByteArray errors;
    EXPECT_EQ(run({"--port", "/nonexistent/tty", "version"}, &errors), exitcode::PortFailed);
    EXPECT_TRUE(errors.startsWith("torl7-cli: cannot open /nonexistent/tty"))
        << errors.toStdString();
    EXPECT_EQ(errors.count('\n'), 1);
    EXPECT_EQ(run({"--port", "/nonexistent/tty", "--nonsense", "version"}), exitcode::Usage);
    EXPECT_EQ(run({"--help"}), exitcode::Done);
}
