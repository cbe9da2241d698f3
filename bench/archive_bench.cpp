// The archive on SQLite (a file in a temporary folder): storing one full reading (settings,
// accounting record, 100 event records, all of them new), and the timeline of a substation of 30
// units read every quarter for four years (16 readings, 25 new events each: 12,000 events).
// Targets: a reading under 5 ms (median), the timeline under 50 ms.
//
//   build/bin/archive_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include "records/archive.hpp"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace torl7;

std::unique_ptr<Archive> openIn(const QTemporaryDir& dir, const char* name) {
    auto opened = Archive::open(dir.filePath(QLatin1String(name)));
    if (auto* problem = std::get_if<ArchiveProblem>(&opened)) {
        qFatal("%s", qPrintable(problem->message));
    }
    return std::move(std::get<std::unique_ptr<Archive>>(opened));
}

// Event `n` of a unit: one every 97 minutes from 2020 on, so that events of different units
// interleave.
Bytes eventRecord(int unit, int n) {
    EventRecord r;
    const QDateTime at = QDateTime(QDate(2020, 1, 1), QTime(0, 0)).addSecs((n * 97 + unit) * 60);
    r.stamp = ClockStamp{at.time().second(), at.time().minute(), at.time().hour(),
                         at.date().day(),    at.date().month(),  at.date().year() - 2000};
    r.orderDigit = static_cast<std::uint8_t>(n % 3);
    r.state = 0x81;
    r.protection = static_cast<std::uint8_t>(1u << (n % 8));
    r.uaVolts = static_cast<std::uint16_t>(220 + n % 20);
    r.iaTenthsAmp = static_cast<std::uint16_t>(100 + n % 90);
    return encodeEventRecord(r);
}

// A reading whose records hold events `newest - 99` .. `newest` of the unit, in a ring of 100.
ArchiveReading reading(int unit, int newest, const QDateTime& at) {
    ArchiveReading r;
    r.unit = unit;
    r.kind = "collect";
    r.readAt = at;
    r.names = UnitNames{"КРУ-6 кВ", "яч. " + std::to_string(unit), "Насос"};
    ConfigRecord record;
    record.uminVolts = static_cast<std::uint16_t>(150 + newest % 50);
    r.configurations = {{ConfigRole::AsRead, record}};
    r.accounting = AccountingRecord{static_cast<std::uint32_t>(newest * 3600), 10, 3, 123456, {}};
    EventSlots records;
    for (int n = std::max(0, newest - 99); n <= newest; ++n) {
        records[static_cast<std::size_t>(n % 100)] = eventRecord(unit, n);
    }
    r.events = records;
    return r;
}

void storeFullReading(benchmark::State& state) {
    QTemporaryDir dir;
    auto archive = openIn(dir, "store.sqlite");
    int newest = 99;
    for (auto _ : state) {
        // 100 events none of which the archive holds yet: the most a reading can cost.
        const auto stored = archive->store(reading(600, newest, QDateTime::currentDateTime()));
        benchmark::DoNotOptimize(stored);
        newest += 100;
    }
}
BENCHMARK(storeFullReading)->Unit(benchmark::kMillisecond);

void timelineOfThirtyUnits(benchmark::State& state) {
    QTemporaryDir dir;
    auto archive = openIn(dir, "timeline.sqlite");
    constexpr int kUnits = 30;
    constexpr int kQuarters = 16;
    constexpr int kNewEachQuarter = 25;
    for (int q = 0; q < kQuarters; ++q) {
        const QDateTime at = QDateTime(QDate(2020, 3, 31), QTime(12, 0)).addMonths(3 * q);
        for (int unit = 600; unit < 600 + kUnits; ++unit) {
            archive->store(reading(unit, (q + 1) * kNewEachQuarter - 1, at));
        }
    }
    std::size_t events = 0;
    const bool texts = state.range(0) != 0;
    for (auto _ : state) {
        const auto timeline = archive->timeline({});
        // What a view shows of each: the grid's texts.
        for (std::size_t i = 0; texts && i < timeline.size(); ++i) {
            benchmark::DoNotOptimize(eventRowTexts(decodeEventRecord(timeline[i].record)));
        }
        events = timeline.size();
    }
    state.counters["events"] = static_cast<double>(events);
}
// 0: the events as the archive hands them out; 1: with the grid's twelve texts of each.
BENCHMARK(timelineOfThirtyUnits)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
