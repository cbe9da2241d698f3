// torl7-cli's export files against the simulated unit: the waveforms as COMTRADE and CSV read
// back by a reader written from the standard, to the samples the unit sent.
#include "cli/cli_fixture.hpp"
#include "protocol/request_kind.hpp"
#include "report/comtrade_reader.hpp"

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

    const torl7::testing::ComtradeRecord read =
        torl7::testing::readComtrade(slurp(file("trip.cfg")), slurp(file("trip.dat")));
    ASSERT_EQ(read.error, "");
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
        const std::vector<double>& values = read.values[static_cast<std::size_t>(n)];
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
