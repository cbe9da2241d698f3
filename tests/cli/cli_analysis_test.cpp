// torl7-cli analyse against the simulated unit given a waveform shape (periods, unbalance,
// phase order, harmonics, angle): the figures are those of the shape's formula; and a record the
// client saved reads back to the same figures.
#include "cli/cli_fixture.hpp"

#include <QJsonObject>

#include <cmath>
#include <complex>
#include <numbers>

using namespace torl7;
using namespace torl7::test;

namespace {

constexpr double kPi = std::numbers::pi;

// Phase p of a shape: the rotating component and `k` times the counter-rotating one.
std::complex<double> phaseOf(double k, bool reversed, int p) {
    const double turn = 2 * kPi / 3 * p * (reversed ? -1 : 1);
    return std::polar(1.0, -turn) + std::polar(k, turn);
}

} // namespace

TEST_F(CliAgainstUnit, analyseShowsTheShapeTheUnitWasGivenWithinItsTolerances) {
    const struct {
        const char* name;
        double periods;
        double uUnbalance, iUnbalance;
        bool reversed;
        std::vector<std::pair<int, double>> harmonics;
        std::optional<double> lagDeg;
    } cases[] = {
        {"default", 1, 0, 0, false, {}, std::nullopt},
        {"reversed, unbalanced, distorted", 2.5, 0.04, 0.06, true, {{3, 0.05}, {5, 0.03}}, 40},
        {"leading, three periods", 3.3, 0.02, 0.02, false, {{2, 0.04}}, -20},
    };
    for (const auto& c : cases) {
        sim::WaveShape wave;
        wave.periods = c.periods;
        wave.voltageUnbalance = c.uUnbalance;
        wave.currentUnbalance = c.iUnbalance;
        wave.reversed = c.reversed;
        wave.harmonics = c.harmonics;
        wave.currentLagDeg = c.lagDeg;
        startUnit(115200, {}, wave);
        const Result r = run({"analyse"});
        unit_.stop();
        ASSERT_EQ(r.code, exitcode::Done) << c.name << ": " << r.err;
        const QJsonObject a = object(r.out);
        EXPECT_NEAR(a["period_samples"].toDouble(), 100 / c.periods, 0.001 * 100 / c.periods)
            << c.name;
        const QJsonObject sequence = a["sequence"].toObject();
        EXPECT_EQ(sequence["order"].toString(), c.reversed ? "ACB" : "ABC") << c.name;
        EXPECT_NEAR(sequence["u_unbalance_pct"].toDouble(), 100 * c.uUnbalance, 0.5) << c.name;
        EXPECT_NEAR(sequence["i_unbalance_pct"].toDouble(), 100 * c.iUnbalance, 0.5) << c.name;
        double thd = 0;
        for (const auto& [order, share] : c.harmonics) {
            thd += share * share;
        }
        const double lag = c.lagDeg.value_or(std::acos(0.85) * 180 / kPi);
        for (int p = 0; p < 3; ++p) {
            const QJsonObject phase = a["phases"].toObject()[QString(QChar('A' + p))].toObject();
            const double expected = lag + std::arg(phaseOf(c.uUnbalance, c.reversed, p) /
                                                   phaseOf(c.iUnbalance, c.reversed, p)) *
                                              180 / kPi;
            EXPECT_NEAR(phase["angle_deg"].toDouble(), expected, 1.5) << c.name << ' ' << p;
            EXPECT_NEAR(phase["u_thd_pct"].toDouble(), 100 * std::sqrt(thd), 1) << c.name;
            EXPECT_NEAR(phase["i_thd_pct"].toDouble(), 100 * std::sqrt(thd), 1) << c.name;
            // 230 V and 12 A, each phase by its share of the unbalanced set.
            EXPECT_NEAR(phase["u_rms"].toDouble(),
                        230 * std::abs(phaseOf(c.uUnbalance, c.reversed, p)), 3)
                << c.name << ' ' << p;
        }
    }
}

// A record saved by the client opens again with the same figures, in every format; a record
// that is not one, or whose channels cannot be told, is refused.
TEST_F(CliAgainstUnit, aSavedRecordAnalysesLikeTheUnitAndABadOneIsRefused) {
    sim::WaveShape wave;
    wave.periods = 2.5;
    wave.voltageUnbalance = 0.03;
    wave.reversed = true;
    startUnit(115200, {}, wave);
    const QJsonObject live = object(run({"analyse"}).out);
    for (const char* format : {"ascii", "binary", "2013"}) {
        ASSERT_EQ(run({"waveforms", "--comtrade", file(format), "--comtrade-format", format,
                       "--rate", "5000"})
                      .code,
                  exitcode::Done);
        const QString path = file(format) + (QString(format) == "2013" ? ".cff" : ".cfg");
        const Result r = run({"analyse", "--record", path}, false);
        ASSERT_EQ(r.code, exitcode::Done) << format << ": " << r.err;
        const QJsonObject read = object(r.out);
        EXPECT_EQ(read["sequence"].toObject()["order"], "ACB") << format;
        EXPECT_EQ(read["sequence"].toObject()["u_unbalance_pct"],
                  live["sequence"].toObject()["u_unbalance_pct"])
            << format;
        for (const char* phase : {"A", "B", "C"}) {
            for (const char* key : {"u_rms_raw", "i_rms_raw", "angle_deg", "u_thd_pct"}) {
                EXPECT_EQ(read["phases"].toObject()[phase].toObject()[key],
                          live["phases"].toObject()[phase].toObject()[key])
                    << format << ' ' << phase << ' ' << key;
            }
            EXPECT_TRUE(read["phases"].toObject()[phase].toObject()["u_rms"].isNull())
                << "raw samples: no volts without the snapshot";
        }
    }

    spit(file("bad.cfg"), "S,D,1999\r\n2,2A\r\n");
    spit(file("bad.dat"), "");
    spit(file("other.cfg"), "S,D,1999\r\n2,2A,0D\r\n1,X1,,,V,1,0,0,0,1,1,1,P\r\n"
                            "2,X2,,,A,1,0,0,0,1,1,1,P\r\n50\r\n1\r\n1000,1\r\n"
                            "01/01/2024,00:00:00\r\n01/01/2024,00:00:00\r\nASCII\r\n1\r\n");
    spit(file("other.dat"), "1,0,5,6\r\n");
    const struct {
        QStringList arguments;
        int code;
        const char* says;
    } refused[] = {
        {{"analyse", "--record", file("none.cfg")}, exitcode::Invalid, "none.cfg: cannot be read"},
        {{"analyse", "--record", file("bad.cfg")}, exitcode::Invalid, "bad.cfg, line 2:"},
        {{"analyse", "--record", file("other.cfg")}, exitcode::Invalid, "--map"},
        {{"analyse", "--record", file("other.cfg"), "--map", "Ux=1"}, exitcode::Usage, "Ux=1"},
        {{"analyse", "--record", file("other.cfg"), "--map", "Ua=7"}, exitcode::Usage, "\"7\""},
        {{"analyse", "--map", "Ua=1"}, exitcode::Usage, "--record"},
    };
    for (const auto& c : refused) {
        const Result r = run(c.arguments, !c.arguments.contains("--record"));
        EXPECT_EQ(r.code, c.code) << c.arguments.join(' ').toStdString() << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    const Result mapped =
        run({"analyse", "--record", file("other.cfg"), "--map", "Ua=X1,Ia=2"}, false);
    EXPECT_EQ(mapped.code, exitcode::Done) << mapped.err;
    EXPECT_NE(mapped.out.find("too flat"), std::string::npos) << "one sample has no period";
}
