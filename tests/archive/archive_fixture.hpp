// What the archive tests share: an archive on either engine (a file in a temporary folder, or
// a new database of the one PostgreSQL cluster this test program starts), and readings made
// up with event records whose bytes the test knows.
#pragma once

#include "records/archive.hpp"
#include "support/postgres_cluster.hpp"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace torl7::test {

enum class Engine { SQLite, PostgreSQL };

inline std::string engineName(const ::testing::TestParamInfo<Engine>& info) {
    return info.param == Engine::SQLite ? "SQLite" : "PostgreSQL";
}

inline PostgresCluster& postgres() {
    static PostgresCluster cluster;
    static const bool started = cluster.start();
    EXPECT_TRUE(started) << cluster.error().toStdString();
    return cluster;
}

// A new, empty archive location on `engine`; the file lives in `dir`.
inline QString newLocation(Engine engine, const QTemporaryDir& dir) {
    return engine == Engine::SQLite ? dir.filePath(QStringLiteral("archive.sqlite"))
                                    : postgres().newDatabase();
}

inline std::unique_ptr<Archive> openArchive(const QString& location,
                                            Archive::Access access = Archive::Access::ReadWrite) {
    auto opened = Archive::open(location, access);
    if (auto* problem = std::get_if<ArchiveProblem>(&opened)) {
        ADD_FAILURE() << problem->message.toStdString();
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<Archive>>(opened));
}

// An event record's 24 bytes: order digit, the unit's clock (yy within the century), state
// 0x81, protection flags, Ua; the other measurements fixed.
inline Bytes eventBytes(const QDateTime& at, int order, std::uint8_t protection,
                        int uaVolts = 230) {
    EventRecord r;
    r.orderDigit = static_cast<std::uint8_t>(order);
    r.stamp = ClockStamp{at.time().second(), at.time().minute(), at.time().hour(),
                         at.date().day(),    at.date().month(),  at.date().year() - 2000};
    r.state = 0x81;
    r.protection = protection;
    r.uaVolts = static_cast<std::uint16_t>(uaVolts);
    r.iaTenthsAmp = 125;
    r.cosByte = 0xD5;
    return encodeEventRecord(r);
}

// Generation `g` of a unit's reading: every slot holds an event ten minutes after the one
// before, none the same as in another generation; the settings' Umin is 150 + g.
inline ArchiveReading madeUpReading(int unit, int g) {
    ArchiveReading reading;
    reading.unit = unit;
    reading.kind = "collect";
    reading.readAt = QDateTime(QDate(2024, 1, 1), QTime(12, 0)).addDays(g);
    ConfigRecord record;
    record.uminVolts = static_cast<std::uint16_t>(150 + g);
    reading.configurations = {{ConfigRole::AsRead, record}};
    AccountingRecord accounting;
    accounting.trips = static_cast<std::uint16_t>(g);
    reading.accounting = accounting;
    EventSlots records;
    const QDateTime first(QDate(2020, 1, 1), QTime(0, 0));
    for (std::size_t k = 0; k < records.size(); ++k) {
        records[k] = eventBytes(first.addSecs((g * 100 + static_cast<int>(k)) * 600), 0, 0x20);
    }
    reading.events = records;
    return reading;
}

inline qint64 count(Archive& archive, const char* table) {
    return archive.scalar(QStringLiteral("SELECT count(*) FROM ") + QLatin1String(table))
        .toLongLong();
}

} // namespace torl7::test
