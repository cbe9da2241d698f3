// The questions the archive answers: the events of all units in time order, a unit's readings
// and setting changes, the units whose settings changed since a day.
#include "records/archive.hpp"

#include "records/archive_sql.hpp"

#include <algorithm>
#include <map>
#include <tuple>

namespace torl7 {

namespace {

UnitNames namesAt(const QSqlQuery& row, int first) {
    return {row.value(first).toString().toStdString(),
            row.value(first + 1).toString().toStdString(),
            row.value(first + 2).toString().toStdString()};
}

ConfigRecord recordOf(const QVariant& value) {
    const QByteArray bytes = value.toByteArray();
    return decodeConfigRecord(ByteSpan(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                       static_cast<std::size_t>(bytes.size())));
}

// The settings the unit held at a reading: as read (after a write: what it took) before as
// found.
struct HeldSettings {
    qint64 reading = 0;
    QDateTime readAt;
    std::optional<ConfigRecord> asFound;
    std::optional<ConfigRecord> asRead;
    const std::optional<ConfigRecord>& held() const { return asRead ? asRead : asFound; }
};

} // namespace

std::vector<TimelineEvent> Archive::timeline(const TimelineFilter& filter) {
    // The units once, the events without their names: a substation's years are thousands of
    // events of a few dozen units.
    std::map<qint64, std::pair<int, UnitNames>> units;
    {
        QSqlQuery row =
            runOnce(db(), shown_,
                    QStringLiteral("SELECT id, factory_number, switchgear, bay, motor FROM units"),
                    {}, "reading the units");
        while (row.next()) {
            units[row.value(0).toLongLong()] = {row.value(1).toInt(), namesAt(row, 2)};
        }
    }
    QString statement =
        QStringLiteral("SELECT unit_id, slot, record, occurred_at, order_digit FROM events "
                       "WHERE occurred_at IS NOT NULL");
    QVariantList values;
    if (!filter.from.empty()) {
        statement += QStringLiteral(" AND occurred_at >= ?");
        values << QString::fromStdString(filter.from);
    }
    if (!filter.until.empty()) {
        statement += QStringLiteral(" AND occurred_at < ?");
        values << QString::fromStdString(filter.until);
    }
    if (!filter.units.empty()) {
        QStringList marks;
        for (const int unit : filter.units) {
            marks << QStringLiteral("?");
            values << unit;
        }
        statement += QStringLiteral(" AND unit_id IN (SELECT id FROM units WHERE "
                                    "factory_number IN (%1))")
                         .arg(marks.join(','));
    }
    if (filter.protections != 0) {
        statement += QStringLiteral(" AND (protection & ?) <> 0");
        values << int{filter.protections};
    }
    struct Found {
        TimelineEvent event;
        int tie;
    };
    std::vector<Found> found;
    {
        QSqlQuery row = runOnce(db(), shown_, statement, values, "reading the timeline");
        while (row.next()) {
            const auto& [unit, names] = units[row.value(0).toLongLong()];
            const QByteArray record = row.value(2).toByteArray();
            // Events of one second are ordered as the unit's own grid orders them: by the
            // first digit of the order digit as written (12 ties as 1), then by slot.
            const int digit = row.value(4).toInt();
            found.push_back(
                {{unit, names, row.value(1).toInt(), Bytes(record.begin(), record.end()),
                  row.value(3).toString().toStdString()},
                 digit >= 10 ? 1 : digit});
        }
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return std::tie(a.event.occurredAt, a.tie, a.event.unit, a.event.slot) <
               std::tie(b.event.occurredAt, b.tie, b.event.unit, b.event.slot);
    });
    std::vector<TimelineEvent> events;
    events.reserve(found.size());
    for (Found& f : found) {
        events.push_back(std::move(f.event));
    }
    return events;
}

std::vector<HistoryEntry> Archive::history(int unit) {
    const QSqlDatabase database = db();
    std::vector<HistoryEntry> entries;
    std::map<qint64, std::size_t> at;
    // One query at a time, each gone before the next: PostgreSQL's driver hands rows out one
    // by one, and a query still alive when the next starts takes its rows with it.
    QSqlQuery readings = runOnce(
        database, shown_,
        QStringLiteral("SELECT r.id, r.read_at, r.kind, r.result, r.firmware, r.os_user, r.host, "
                       "(SELECT count(*) FROM events e WHERE e.first_reading_id = r.id) "
                       "FROM readings r JOIN units u ON u.id = r.unit_id "
                       "WHERE u.factory_number = ? ORDER BY r.read_at, r.id"),
        {unit}, "reading the unit's history");
    while (readings.next()) {
        const QSqlQuery& row = readings;
        HistoryEntry entry;
        entry.reading = row.value(0).toLongLong();
        entry.readAt = fromArchiveTime(row.value(1).toString());
        entry.kind = row.value(2).toString().toStdString();
        entry.result = row.value(3).toString().toStdString();
        entry.firmware = row.value(4).toString().toStdString();
        entry.osUser = row.value(5).toString().toStdString();
        entry.host = row.value(6).toString().toStdString();
        entry.newEvents = row.value(7).toInt();
        at[entry.reading] = entries.size();
        entries.push_back(std::move(entry));
    }
    readings = QSqlQuery();

    std::vector<HeldSettings> held(entries.size());
    QSqlQuery row =
        runOnce(database, shown_,
                QStringLiteral("SELECT c.reading_id, c.role, c.record FROM configurations c "
                               "JOIN readings r ON r.id = c.reading_id JOIN units u ON "
                               "u.id = r.unit_id WHERE u.factory_number = ?"),
                {unit}, "reading the unit's settings");
    while (row.next()) {
        const auto entry = at.find(row.value(0).toLongLong());
        const auto role = roleOf(row.value(1).toString());
        if (entry == at.end() || !role) {
            continue;
        }
        entries[entry->second].configurations.push_back(*role);
        if (*role == ConfigRole::AsFound) {
            held[entry->second].asFound = recordOf(row.value(2));
        } else if (*role == ConfigRole::AsRead) {
            held[entry->second].asRead = recordOf(row.value(2));
        }
    }
    row = QSqlQuery();
    const std::optional<ConfigRecord>* before = nullptr;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!held[i].held()) {
            continue;
        }
        if (before) {
            entries[i].changes = compareSettings(**before, *held[i].held());
        }
        before = &held[i].held();
    }

    row = runOnce(database, shown_,
                  QStringLiteral("SELECT w.reading_id, w.as_found_reading_id, w.acknowledged, "
                                 "w.outcome, w.changed, w.not_taken FROM writes w JOIN readings "
                                 "r ON r.id = w.reading_id JOIN units u ON u.id = r.unit_id "
                                 "WHERE u.factory_number = ?"),
                  {unit}, "reading the unit's writes");
    while (row.next()) {
        const auto entry = at.find(row.value(0).toLongLong());
        if (entry == at.end()) {
            continue;
        }
        WriteAudit audit;
        if (!row.value(1).isNull()) {
            audit.asFoundReading = row.value(1).toLongLong();
        }
        audit.acknowledged = row.value(2).toInt() != 0;
        audit.outcome = row.value(3).toString().toStdString();
        audit.changed = differencesFrom(row.value(4).toString());
        audit.notTaken = differencesFrom(row.value(5).toString());
        entries[entry->second].write = std::move(audit);
    }
    return entries;
}

std::vector<SettingsChange> Archive::changesSince(const QDateTime& since) {
    QSqlQuery row = runOnce(
        db(), shown_,
        QStringLiteral("SELECT u.factory_number, u.switchgear, u.bay, u.motor, r.id, r.read_at, "
                       "c.role, c.record FROM configurations c JOIN readings r ON r.id = "
                       "c.reading_id JOIN units u ON u.id = r.unit_id WHERE c.role IN "
                       "('as_found', 'as_read') ORDER BY u.factory_number, r.read_at, r.id"),
        {}, "reading the settings");
    const QString from = archiveTime(since);
    std::vector<SettingsChange> changes;
    int unit = 0;
    UnitNames names;
    std::vector<HeldSettings> readings; // of `unit`, in time order
    const auto compareUnit = [&] {
        for (std::size_t i = 1; i < readings.size(); ++i) {
            if (archiveTime(readings[i].readAt) < from) {
                continue;
            }
            auto differences = compareSettings(*readings[i - 1].held(), *readings[i].held());
            if (!differences.empty()) {
                changes.push_back({unit, names, readings[i].readAt, readings[i - 1].readAt,
                                   std::move(differences)});
            }
        }
        readings.clear();
    };
    while (row.next()) {
        if (row.value(0).toInt() != unit) {
            compareUnit();
            unit = row.value(0).toInt();
            names = namesAt(row, 1);
        }
        const qint64 reading = row.value(4).toLongLong();
        if (readings.empty() || readings.back().reading != reading) {
            readings.push_back({reading, fromArchiveTime(row.value(5).toString()), {}, {}});
        }
        (row.value(6).toString() == QLatin1String("as_read") ? readings.back().asRead
                                                             : readings.back().asFound) =
            recordOf(row.value(7));
    }
    compareUnit();
    return changes;
}

std::optional<std::pair<int, ConfigRecord>> Archive::settingsAt(qint64 reading) {
    QSqlQuery row = runOnce(
        db(), shown_,
        QStringLiteral("SELECT u.factory_number, c.record FROM configurations c JOIN readings r "
                       "ON r.id = c.reading_id JOIN units u ON u.id = r.unit_id WHERE "
                       "c.reading_id = ? ORDER BY CASE c.role WHEN 'as_found' THEN 0 WHEN "
                       "'as_read' THEN 1 ELSE 2 END"),
        {reading}, "reading the settings");
    if (!row.next()) {
        return std::nullopt;
    }
    return std::pair{row.value(0).toInt(), recordOf(row.value(1))};
}

std::vector<std::pair<int, UnitNames>> Archive::units() {
    QSqlQuery row = runOnce(db(), shown_,
                            QStringLiteral("SELECT factory_number, switchgear, bay, motor FROM "
                                           "units ORDER BY factory_number"),
                            {}, "reading the units");
    std::vector<std::pair<int, UnitNames>> units;
    while (row.next()) {
        units.emplace_back(row.value(0).toInt(), namesAt(row, 1));
    }
    return units;
}

std::vector<UnitSeen> Archive::lastSeen() {
    // The times are UTC texts of one width: their order is the order of the moments.
    QSqlQuery row = runOnce(
        db(), shown_,
        QStringLiteral("SELECT u.factory_number, max(r.read_at), (SELECT f.firmware FROM readings "
                       "f WHERE f.unit_id = u.id AND f.firmware <> '' ORDER BY f.read_at DESC, "
                       "f.id DESC LIMIT 1) FROM units u JOIN readings r ON r.unit_id = u.id "
                       "GROUP BY u.id, u.factory_number ORDER BY u.factory_number"),
        {}, "reading when the units were last read");
    std::vector<UnitSeen> seen;
    while (row.next()) {
        seen.push_back(UnitSeen{row.value(0).toInt(), fromArchiveTime(row.value(1).toString()),
                                row.value(2).toString().toStdString()});
    }
    return seen;
}

} // namespace torl7
