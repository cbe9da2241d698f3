// What the poll shows: every field, the clock panel, the indicators, the waveforms.
#include "diag/diagnostics_fixture.hpp"
#include "documents/json_output.hpp"

#include <QJsonDocument>
#include <QJsonObject>

using namespace torl7;
using namespace torl7::test;

namespace {

// One part of the snapshot as torl7-cli prints it: its texts or its indicators, each under the
// name of the control that shows it.
QJsonObject printed(const Snapshot& snapshot, const char* part) {
    const std::string json = snapshotJson(snapshot, 600);
    return QJsonDocument::fromJson(QByteArray::fromStdString(json))[part].toObject();
}

} // namespace

TEST_F(DiagnosticsTest, everySnapshotFieldReachesItsOwnControl) {
    const Bytes payload{
        0x00,                               // selector
        0x89, 0x05, 0x23,                   // 09 s with the clock stopped, 05 min, 23 h
        0x00,                               // not used
        0x05, 0x03, 0x16,                   // 05.03.16
        0x25,                               // calibration +5
        0x80,                               // automatic summer time
        0x00,                               // not used
        0x00, 0x00, 0x00,                   // flags
        0x00, 0xDC, 0x00, 0xDD, 0x00, 0xDE, // 220, 221, 222 V
        0x03, 0xE7, 0x03, 0xE8, 0x03, 0xED, // 99,9  100,0  100,5 A
        0x00, 0x0C,                         // leakage 1,2 A
        0xD5,                               // cos f +0,85
        0x03, 0x07,                         // asymmetries 3 % and 7 %
        0x0A,                               // overload multiple 1,0: none
        0x19, 0x0A, 0x01,                   // Umin 2,5 s, Umax 1,0 s, Uасм 0,1 s
        0x01, 0x2C,                         // no-load 30 s
        0x05,                               // Iасм 0,5 s
        0x03, 0xED,                         // overload 100,5 s -> 101
        0x0F, 0x64,                         // jam 1,5 s, leakage 10,0 s
        0x00, 0x7B,                         // power 12,3 kW
        0x00, 0x00, 0x0F, 0x42, 0x40,       // 1000000 millionths of a kWh
        0x00, 0x00, 0x00, 0x00,             // no running time yet
        0x00, 0x3C,                         // reset locked for 60 s
    };
    start();
    answer(kind::Diagnostics, payload);
    const std::vector<std::pair<const char*, const char*>> expected{
        {"ttime", "23:05:09"}, {"tDATE", "05.03.2016г."}, {"st_ua", "220"},
        {"st_ub", "221"},      {"st_uc", "222"},          {"st_ia", "99,9"},
        {"st_ib", "100"},      {"st_ic", "101"},          {"st_idif", "1,2"},
        {"st_cos", "0,85"},    {"st_uasm", "3"},          {"st_iasm", "7"},
        {"st_ikrp", "---"},    {"c_umin", "2,5"},         {"c_umax", "1,0"},
        {"c_uasm", "0,1"},     {"c_ihol", "30"},          {"c_iasm", "0,5"},
        {"c_ivtz", "101"},     {"c_izakl", "1,5"},        {"c_idif", "10,0"},
        {"st_pa", "12,3"},     {"st_wa", "000001,000"},   {"st_moto", "00000:00:00"},
        {"st_blkz", "60"},
    };
    const QJsonObject texts = printed(decodeSnapshot(payload), "texts");
    for (const auto& [name, shown] : expected) {
        EXPECT_EQ(text(name), QString::fromUtf8(shown)) << name;
        EXPECT_EQ(texts[QLatin1String(name)].toString(), QString::fromUtf8(shown)) << name;
    }
    EXPECT_TRUE(diag().rstop->isChecked());
    EXPECT_TRUE(diag().tavto->isChecked());
    EXPECT_EQ(diag().rcal->value(), 5);
}

TEST_F(DiagnosticsTest, clockPanelFollowsTheUnitExceptWhereTheUserChangedIt) {
    Bytes payload = encodeSnapshot(Snapshot{});
    payload[1] = 0x09; // the clock runs
    payload[8] = 0x05; // calibration -5
    payload[9] = 0x00; // no summer time
    start();
    diag().rstop->setChecked(true); // the user's choice during the poll
    answer(kind::Diagnostics, payload);
    EXPECT_EQ(diag().rcal->value(), -5) << "untouched: the unit's";
    EXPECT_TRUE(diag().rstop->isChecked()) << "changed by the user: kept for the correction";
    EXPECT_FALSE(diag().tavto->isChecked());

    // A new start of the poll shows the unit's settings everywhere again.
    diag().diagnos->click();
    start();
    answer(kind::Diagnostics, payload);
    EXPECT_FALSE(diag().rstop->isChecked());
}

TEST_F(DiagnosticsTest, indicatorsTakeRedSilverAndGreenFromTheirFlags) {
    start();
    Snapshot snapshot;
    snapshot.tripFlags = 0b1010'0101;     // Umin, Uасм, Iвтз, Iут tripped
    snapshot.functionFlags = 0b0100'0010; // Umax and jam protections active
    snapshot.equipmentFlags = 0x05;       // equipment and insulation
    answer(kind::Diagnostics, encodeSnapshot(snapshot));
    const std::vector<std::pair<const char*, QColor>> first{
        {"sh_umin", kRed},    {"sh_umax", kSilver}, {"sh_uasm", kRed},    {"sh_ihol", kSilver},
        {"sh_iasm", kSilver}, {"Sh_ivtz", kRed},    {"sh_zakl", kSilver}, {"sh_idif", kRed},
        {"zp_umin", kSilver}, {"zp_umax", kRed},    {"zp_uasm", kSilver}, {"zp_ihol", kSilver},
        {"zp_iasm", kSilver}, {"zp_ivtz", kSilver}, {"zp_zakl", kRed},    {"zp_idif", kSilver},
        {"Sh_z", kRed},       {"sh_dv", kRed},      {"sh_iso", kRed},
    };
    const QJsonObject lamps = printed(snapshot, "indicators");
    for (const auto& [name, color] : first) {
        EXPECT_EQ(lamp(name), color) << name;
        EXPECT_EQ(lamps[QLatin1String(name)].toString(), color == kRed ? "red" : "silver") << name;
    }

    answer(kind::Diagnostics, encodeSnapshot(Snapshot{}));
    for (const auto& [name, color] : first) {
        EXPECT_EQ(lamp(name), std::string(name) == "sh_iso" ? kGreen : kSilver) << name;
    }
}

TEST_F(DiagnosticsTest, viewListSetsTheBlocksFetchedAfterEachSnapshot) {
    const std::vector<std::vector<int>> expected{
        {0, 0, 0, 0, 0, 0, 0, 0},     // "нет": snapshots only
        {0, 17, 0, 17, 0, 17, 0, 17}, // "Фаза А"
        {0, 1, 18, 0, 1, 18, 0, 1},   // "Фаза А,В"
        {0, 1, 2, 19, 0, 1, 2, 19},   // "Фаза А,В,С"
    };
    for (int view = 0; view <= 3; ++view) {
        diag().cmb_m->setCurrentIndex(view);
        line.clearWritten();
        start();
        QSignalSpy drawings(diag().Series3, &QXYSeries::pointsReplaced);
        for (int answers = 0; answers < 7; ++answers) {
            answerPending();
        }
        EXPECT_EQ(selectorsSent(), expected[static_cast<std::size_t>(view)]) << "view " << view;
        const int sequences = view == 0 ? 0 : 7 / (view + 1);
        EXPECT_EQ(drawings.count(), sequences) << "view " << view;
        poll().diagnosClick();
    }
}

TEST_F(DiagnosticsTest, drawingPutsEachPhaseOnItsTracesWithPhaseACurrentOneSampleLate) {
    diag().cmb_m->setCurrentIndex(2);
    start();
    answerPending(); // snapshot
    answerPending(); // block 1
    ASSERT_EQ(lastSelectorSent(), 18);
    std::vector<std::unique_ptr<QSignalSpy>> replaced;
    std::vector<std::unique_ptr<QSignalSpy>> added;
    QLineSeries* const series[] = {diag().Series1, diag().Series2, diag().Series3,
                                   diag().Series4, diag().Series5, diag().Series6};
    for (QLineSeries* s : series) {
        replaced.push_back(std::make_unique<QSignalSpy>(s, &QXYSeries::pointsReplaced));
        added.push_back(std::make_unique<QSignalSpy>(s, &QXYSeries::pointAdded));
    }
    answerPending(); // block 18: the last; drawn
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(replaced[i]->count(), 1) << "Series" << i + 1 << " is replaced once";
        EXPECT_EQ(added[i]->count(), 0) << "Series" << i + 1;
    }

    const WaveformBlock a = block(1);
    const WaveformBlock b = block(18);
    ASSERT_EQ(diag().Series1->count(), 101);
    ASSERT_EQ(diag().Series2->count(), 101);
    EXPECT_EQ(diag().Series1->at(0), QPointF(0, 0));
    EXPECT_EQ(diag().Series2->at(0), QPointF(0, 0));
    for (int i = 1; i <= 100; ++i) {
        const auto s = static_cast<std::size_t>(i - 1);
        EXPECT_EQ(diag().Series1->at(i), QPointF(i, a.voltage[s]));
        EXPECT_EQ(diag().Series2->at(i), QPointF(i + 1, a.current[s]));
        EXPECT_EQ(diag().Series3->at(i - 1), QPointF(i, b.voltage[s]));
        EXPECT_EQ(diag().Series4->at(i - 1), QPointF(i, b.current[s]));
        EXPECT_EQ(diag().Series5->at(i - 1), QPointF(i, 0)) << "phase C was not fetched";
        EXPECT_EQ(diag().Series6->at(i - 1), QPointF(i, 0));
    }
    EXPECT_EQ(diag().Series3->count(), 100);
    EXPECT_EQ(diag().Series6->count(), 100);

    for (const auto& samples : {poll().samples().voltage, poll().samples().current}) {
        for (const auto& phase : samples) {
            EXPECT_TRUE(std::all_of(phase.begin(), phase.end(), [](int v) { return v == 0; }))
                << "the arrays are emptied after the drawing";
        }
    }
    EXPECT_EQ(lastSelectorSent(), 0) << "then the next snapshot";
}

TEST_F(DiagnosticsTest, calibrationSampleAndUnknownSelectorsChangeNothingAndAskForNothing) {
    start();
    for (std::uint8_t selector : {4, 5, 16, 20}) {
        ticks(2); // a miss: the request is repeated
        ASSERT_EQ(poll().missCount(), 1);
        const QString sent = diag().st_txd->text();
        Bytes payload(kWaveformBlockSize, 0x77);
        payload[0] = selector;
        answer(kind::Diagnostics, payload);
        EXPECT_EQ(poll().missCount(), 0) << "every code-1 answer is an answer";
        EXPECT_EQ(diag().st_txd->text(), sent) << "selector " << int(selector);
    }
    EXPECT_EQ(diag().st_rxd->text(), QStringLiteral("4"));
    EXPECT_EQ(diag().st_ua->text(), QStringLiteral("0"));
    EXPECT_EQ(diag().Series1->count(), 0);
}

TEST_F(DiagnosticsTest, aNewValueRepaintsItsOwnTextNotTheWholeWindow) {
    w().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w()));
    const QSize before = diag().st_ua->size();
    start();
    answerPending();
    QTest::qWait(50); // the first values are painted
    PaintRecorder recorder;
    recorder.watch(diag().st_ua);
    recorder.watch(w().PageControl1);
    Snapshot snapshot;
    snapshot.uaVolts = 1234; // wider than before
    answer(kind::Diagnostics, encodeSnapshot(snapshot));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder.painted(diag().st_ua).isEmpty(); }, 2000));
    QTest::qWait(50);
    // The tab widget paints what lies under the changed texts, not the whole page.
    long paintedArea = 0;
    for (const QRect& r : recorder.painted(w().PageControl1)) {
        paintedArea += static_cast<long>(r.width()) * r.height();
    }
    const QSize page = w().PageControl1->size();
    EXPECT_LT(paintedArea, static_cast<long>(page.width()) * page.height() / 20)
        << "the page was laid out and painted again";
    EXPECT_EQ(diag().st_ua->size(), before);
}
