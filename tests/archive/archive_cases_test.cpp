// One table of archive cases, each run on SQLite and on PostgreSQL.
#include "archive_fixture.hpp"

#include "records/archive_keeper.hpp"
#include "records/archive_writer.hpp"
#include "records/config_history.hpp"

#include <functional>

namespace torl7::test {
namespace {

const QDateTime kNoon(QDate(2024, 5, 1), QTime(12, 0));

ArchiveReading eventsReading(int unit, const std::vector<std::pair<int, Bytes>>& filled) {
    ArchiveReading reading;
    reading.unit = unit;
    reading.kind = "read-events";
    EventSlots records;
    for (const auto& [slot, bytes] : filled) {
        records[static_cast<std::size_t>(slot)] = bytes;
    }
    reading.events = records;
    return reading;
}

std::vector<std::string> timelineKeys(Archive& archive, const TimelineFilter& filter = {}) {
    std::vector<std::string> keys;
    for (const TimelineEvent& e : archive.timeline(filter)) {
        keys.push_back(std::to_string(e.unit) + "/" + std::to_string(e.slot) + " " + e.occurredAt);
    }
    return keys;
}

void store(Archive& archive, const ArchiveReading& reading) {
    const auto stored = archive.store(reading);
    ASSERT_TRUE(std::holds_alternative<qint64>(stored))
        << std::get<ArchiveProblem>(stored).message.toStdString();
}

struct Case {
    const char* name;
    std::function<void(Archive&, const QString& location, QTemporaryDir& dir)> run;
};

const std::vector<Case> kCases = {
    {"anEventReadAgainIsKeptOnce",
     [](Archive& a, const QString&, QTemporaryDir&) {
         const Bytes first = eventBytes(kNoon, 0, 0x20);
         const Bytes second = eventBytes(kNoon.addSecs(60), 0, 0x01);
         store(a, eventsReading(600, {{0, first}}));
         store(a, eventsReading(600, {{0, first}, {1, second}}));
         store(a, eventsReading(600, {{0, first}, {1, second}}));
         EXPECT_EQ(count(a, "readings"), 3);
         EXPECT_EQ(timelineKeys(a), (std::vector<std::string>{"600/0 2024-05-01 12:00:00",
                                                              "600/1 2024-05-01 12:01:00"}));
     }},
    {"erasedAndUnreadSlotsHoldNoEventAndUndatedRecordsAreKeptUnlisted",
     [](Archive& a, const QString&, QTemporaryDir&) {
         Bytes undated = eventBytes(kNoon, 0, 0x20);
         undated[5] = 0x13; // month 13
         store(a, eventsReading(600, {{0, Bytes(24, 0xFF)},
                                      {1, Bytes(24, 0x00)},
                                      {2, undated},
                                      {3, eventBytes(kNoon, 0, 0x20)},
                                      {4, Bytes(10, 0x42)}}));
         EXPECT_EQ(count(a, "events"), 2);
         EXPECT_EQ(timelineKeys(a), (std::vector<std::string>{"600/3 2024-05-01 12:00:00"}));
     }},
    {"aClockSetBackBetweenReadsLosesNoEvent",
     [](Archive& a, const QString&, QTemporaryDir&) {
         // The unit's clock was set back an hour after the first read: its next events carry
         // times the first already had, one of them even the same bytes in another slot.
         const Bytes early = eventBytes(kNoon, 0, 0x20);
         store(a, eventsReading(600, {{0, early}}));
         store(a,
               eventsReading(600, {{0, early}, {1, eventBytes(kNoon, 0, 0x20, 231)}, {2, early}}));
         EXPECT_EQ(timelineKeys(a), (std::vector<std::string>{"600/0 2024-05-01 12:00:00",
                                                              "600/1 2024-05-01 12:00:00",
                                                              "600/2 2024-05-01 12:00:00"}));
     }},
    {"theTimelineOrdersUnitsByTimeThenOrderDigitAndFilters",
     [](Archive& a, const QString&, QTemporaryDir&) {
         ArchiveReading named = eventsReading(
             601, {{0, eventBytes(kNoon.addSecs(5), 0, 0x01)}, {1, eventBytes(kNoon, 12, 0x20)}});
         named.names = UnitNames{"КРУ-6", "яч. 4", "Насос 1"};
         store(a, named);
         store(a, eventsReading(600, {{7, eventBytes(kNoon, 2, 0x80)},
                                      {8, eventBytes(kNoon.addDays(1), 0, 0x20)}}));
         // In one second as the unit's grid orders: order digit 12 ties as 1, before 2.
         EXPECT_EQ(timelineKeys(a), (std::vector<std::string>{
                                        "601/1 2024-05-01 12:00:00", "600/7 2024-05-01 12:00:00",
                                        "601/0 2024-05-01 12:00:05", "600/8 2024-05-02 12:00:00"}));
         EXPECT_EQ(a.timeline({})[0].names, (UnitNames{"КРУ-6", "яч. 4", "Насос 1"}));
         TimelineFilter filter;
         filter.units = {601};
         EXPECT_EQ(timelineKeys(a, filter).size(), 2u);
         filter = {};
         filter.protections = 0x20; // overload
         EXPECT_EQ(
             timelineKeys(a, filter),
             (std::vector<std::string>{"601/1 2024-05-01 12:00:00", "600/8 2024-05-02 12:00:00"}));
         filter = {};
         filter.from = "2024-05-01 12:00:01";
         filter.until = "2024-05-02 00:00:00";
         EXPECT_EQ(timelineKeys(a, filter),
                   (std::vector<std::string>{"601/0 2024-05-01 12:00:05"}));
     }},
    {"eachUnitIsLastSeenAtItsLatestReadingWithTheFirmwareItLastGave",
     [](Archive& a, const QString&, QTemporaryDir&) {
         const auto reading = [](int unit, const QDateTime& at, const char* firmware) {
             ArchiveReading r = eventsReading(unit, {});
             r.readAt = at;
             r.firmware = firmware;
             return r;
         };
         // Stored out of time order; the latest reading of 600 gave no firmware.
         store(a, reading(600, kNoon.addDays(2), "ТОРЛ-7 v2.05"));
         store(a, reading(601, kNoon, ""));
         store(a, reading(600, kNoon, "ТОРЛ-7 v2.04"));
         store(a, reading(600, kNoon.addDays(3), ""));
         EXPECT_EQ(a.lastSeen(), (std::vector<UnitSeen>{{600, kNoon.addDays(3), "ТОРЛ-7 v2.05"},
                                                        {601, kNoon, ""}}));
     }},
    {"changesListsReadingsSinceTheDayWhoseSettingsDifferFromTheReadingBefore",
     [](Archive& a, const QString&, QTemporaryDir&) {
         for (const auto& [unit, g] :
              std::vector<std::pair<int, int>>{{600, 0}, {600, 2}, {600, 5}, {601, 0}, {601, 5}}) {
             ArchiveReading reading = madeUpReading(unit, unit == 601 ? 0 : g);
             reading.readAt = QDateTime(QDate(2024, 1, 1), QTime(12, 0)).addDays(g);
             reading.events.reset();
             store(a, reading);
         }
         const auto changes = a.changesSince(QDateTime(QDate(2024, 1, 4), QTime(0, 0)));
         ASSERT_EQ(changes.size(), 1u); // 600 on day 5; day 2 is before; 601 never changed
         EXPECT_EQ(changes[0].unit, 600);
         EXPECT_EQ(changes[0].readAt, QDateTime(QDate(2024, 1, 6), QTime(12, 0)));
         EXPECT_EQ(changes[0].previousReadAt, QDateTime(QDate(2024, 1, 3), QTime(12, 0)));
         ASSERT_EQ(changes[0].differences.size(), 1u);
         EXPECT_EQ(changes[0].differences[0].expected, "152");
         EXPECT_EQ(changes[0].differences[0].actual, "155");
     }},
    {"aWriteShowsInTheHistoryWithTheSettingsFoundAndWhatTheUnitTook",
     [](Archive& a, const QString& location, QTemporaryDir& dir) {
         ConfigRecord found;
         found.uminVolts = 170;
         const ArchiveKeeper keeper(location, ConfigHistory(dir.filePath("history")));
         ASSERT_TRUE(keeper.keep(600, found));
         ASSERT_TRUE(keeper.lastReading());
         ConfigRecord sent = found;
         sent.uminVolts = 180;
         sent.umaxVolts = 260;
         ConfigRecord took = sent;
         took.umaxVolts = 250;
         ArchiveReading write;
         write.unit = 600;
         write.kind = "write-config";
         write.osUser = "engineer";
         write.configurations = {{ConfigRole::AsWritten, sent}, {ConfigRole::AsRead, took}};
         write.write = WriteAudit{true, "not taken as sent", compareSettings(found, sent),
                                  compareSettings(sent, took), keeper.lastReading()};
         store(a, write);
         const auto history = a.history(600);
         ASSERT_EQ(history.size(), 2u);
         EXPECT_EQ(history[0].kind, "as-found");
         ASSERT_TRUE(history[1].write);
         EXPECT_EQ(history[1].osUser, "engineer");
         EXPECT_EQ(history[1].write->asFoundReading, keeper.lastReading());
         EXPECT_EQ(history[1].write->changed.size(), 2u);
         ASSERT_EQ(history[1].write->notTaken.size(), 1u);
         EXPECT_EQ(history[1].write->notTaken[0].actual, "250");
         // Against the settings found, the unit now holds only the new Umin.
         ASSERT_EQ(history[1].changes.size(), 1u);
         EXPECT_EQ(history[1].changes[0].actual, "180");
     }},
    {"aReadingThatFailsHalfWayLeavesNothingOfIt",
     [](Archive& a, const QString&, QTemporaryDir&) {
         ArchiveReading broken = madeUpReading(600, 0);
         broken.configurations.push_back(broken.configurations.front()); // its key twice
         EXPECT_TRUE(std::holds_alternative<ArchiveProblem>(a.store(broken)));
         for (const char* table : {"units", "readings", "configurations", "accounting", "events"}) {
             EXPECT_EQ(count(a, table), 0) << table;
         }
         store(a, madeUpReading(600, 0)); // the connection goes on
         EXPECT_EQ(count(a, "events"), 100);
     }},
    {"anArchiveOfANewerSchemaIsRefusedAndLeftAsItIs",
     [](Archive& a, const QString& location, QTemporaryDir&) {
         store(a, madeUpReading(600, 0));
         a.scalar("UPDATE archive_meta SET value = '99' WHERE key = 'schema_version'");
         auto opened = Archive::open(location);
         ASSERT_TRUE(std::holds_alternative<ArchiveProblem>(opened));
         EXPECT_EQ(std::get<ArchiveProblem>(opened).kind, ArchiveProblem::Kind::Newer);
         EXPECT_EQ(a.scalar("SELECT value FROM archive_meta WHERE key = 'schema_version'"),
                   QVariant(QStringLiteral("99")));
         EXPECT_EQ(count(a, "events"), 100);
     }},
    {"theOldHistoryFolderIsImportedOnce",
     [](Archive& a, const QString& location, QTemporaryDir& dir) {
         const ConfigHistory old(dir.filePath("old-history"));
         ConfigRecord record;
         record.uminVolts = 175;
         ASSERT_TRUE(old.keepAt(600, record, QDateTime(QDate(2023, 3, 1), QTime(9, 0))));
         ASSERT_TRUE(old.keepAt(600, ConfigRecord{}, QDateTime(QDate(2023, 4, 1), QTime(9, 0))));
         ASSERT_FALSE(importHistoryFolder(a, dir.filePath("old-history")));
         const auto second = openArchive(location);
         ASSERT_FALSE(importHistoryFolder(*second, dir.filePath("old-history")));
         // Kept in the folder while the archive was away: imported at the next open.
         ASSERT_TRUE(old.keepAt(601, record, QDateTime(QDate(2023, 5, 1), QTime(9, 0))));
         ASSERT_FALSE(importHistoryFolder(*second, dir.filePath("old-history")));
         EXPECT_EQ(a.history(601).size(), 1u);
         const auto history = a.history(600);
         ASSERT_EQ(history.size(), 2u);
         EXPECT_EQ(history[0].readAt, QDateTime(QDate(2023, 3, 1), QTime(9, 0)));
         EXPECT_EQ(history[1].result, "imported");
         EXPECT_EQ(history[1].changes.size(), 1u); // Umin 175 -> 170
     }},
};

class ArchiveCases : public ::testing::TestWithParam<std::tuple<Engine, std::size_t>> {};

TEST_P(ArchiveCases, holds) {
    const auto [engine, index] = GetParam();
    QTemporaryDir dir;
    const QString location = newLocation(engine, dir);
    const auto archive = openArchive(location);
    ASSERT_TRUE(archive);
    kCases[index].run(*archive, location, dir);
}

INSTANTIATE_TEST_SUITE_P(BothEngines, ArchiveCases,
                         ::testing::Combine(::testing::Values(Engine::SQLite, Engine::PostgreSQL),
                                            ::testing::Range<std::size_t>(0, kCases.size())),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == Engine::SQLite
                                                    ? "SQLite_"
                                                    : "PostgreSQL_") +
                                    kCases[std::get<1>(info.param)].name;
                         });

} // namespace
} // namespace torl7::test
