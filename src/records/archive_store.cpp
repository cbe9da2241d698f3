// Storing a reading: one transaction of a unit row, a reading row, its configurations,
// accounting record, event slots and write audit. Events are kept once by the unique key
// (unit, slot, record bytes): the unit keeps an event in its slot until it overwrites it with
// a later one, so the same bytes in the same slot are the same event whenever they are read
// again, whatever the unit's clock said or was set to in between.
#include "records/archive.hpp"

#include "records/archive_sql.hpp"
#include "records/archive_statements.hpp"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QSysInfo>

#include <cstdio>

namespace torl7 {

namespace {

QByteArray blob(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

ArchiveStatements::ArchiveStatements(const QSqlDatabase& db, const QString& shown)
    : unitWithNames(prepared(db, shown,
                             "INSERT INTO units (factory_number, switchgear, bay, motor) "
                             "VALUES (?, ?, ?, ?) ON CONFLICT (factory_number) DO UPDATE SET "
                             "switchgear = excluded.switchgear, bay = excluded.bay, "
                             "motor = excluded.motor RETURNING id")),
      unitOnly(prepared(db, shown,
                        "INSERT INTO units (factory_number) VALUES (?) ON CONFLICT "
                        "(factory_number) DO UPDATE SET factory_number = excluded.factory_number "
                        "RETURNING id")),
      reading(prepared(db, shown,
                       "INSERT INTO readings (unit_id, read_at, kind, result, firmware, os_user, "
                       "host) VALUES (?, ?, ?, ?, ?, ?, ?) RETURNING id")),
      configuration(prepared(db, shown,
                             "INSERT INTO configurations (reading_id, role, record) "
                             "VALUES (?, ?, ?)")),
      accounting(prepared(db, shown,
                          "INSERT INTO accounting (reading_id, running_seconds, starts, trips, "
                          "energy_millionths_kwh, counting_since) VALUES (?, ?, ?, ?, ?, ?)")),
      event(prepared(db, shown,
                     "INSERT INTO events (unit_id, slot, record, occurred_at, order_digit, "
                     "protection, first_reading_id) VALUES (?, ?, ?, ?, ?, ?, ?) "
                     "ON CONFLICT (unit_id, slot, record) DO NOTHING")),
      write(prepared(db, shown,
                     "INSERT INTO writes (reading_id, as_found_reading_id, acknowledged, "
                     "outcome, changed, not_taken) VALUES (?, ?, ?, ?, ?, ?)")),
      importMark(prepared(db, shown,
                          "INSERT INTO archive_meta (key, value) VALUES (?, ?) "
                          "ON CONFLICT (key) DO NOTHING")) {}

QSqlQuery ArchiveStatements::prepared(const QSqlDatabase& db, const QString& shown,
                                      const char* statement) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(QString::fromLatin1(statement))) {
        throw ArchiveError{archiveProblem(shown, query.lastError(), "preparing its statements")};
    }
    return query;
}

std::variant<qint64, ArchiveProblem> Archive::store(const ArchiveReading& reading) {
    if (!statements_) {
        return ArchiveProblem{ArchiveProblem::Kind::ReadOnly,
                              QStringLiteral("the archive %1 was opened for reading").arg(shown_)};
    }
    try {
        begin();
        const qint64 id = storeWithin(reading);
        commit();
        return id;
    } catch (const ArchiveError& error) {
        rollback();
        return error.problem;
    }
}

qint64 Archive::unitId(const ArchiveReading& reading) {
    QSqlQuery& query = reading.names ? statements_->unitWithNames : statements_->unitOnly;
    if (reading.names) {
        runPrepared(shown_, query,
                    {reading.unit, text(reading.names->switchgear), text(reading.names->bay),
                     text(reading.names->motor)},
                    "storing the unit");
    } else {
        runPrepared(shown_, query, {reading.unit}, "storing the unit");
    }
    const qint64 id = query.next() ? query.value(0).toLongLong() : 0;
    // SQLite commits nothing while a statement that returned rows is still open.
    query.finish();
    return id;
}

qint64 Archive::storeWithin(const ArchiveReading& r) {
    ArchiveStatements& s = *statements_;
    const qint64 unit = unitId(r);
    const std::string user = r.osUser.empty() ? osUserName() : r.osUser;
    runPrepared(shown_, s.reading,
                {unit, archiveTime(r.readAt), text(r.kind), text(r.result), text(r.firmware),
                 text(user), QSysInfo::machineHostName()},
                "storing the reading");
    const qint64 reading = s.reading.next() ? s.reading.value(0).toLongLong() : 0;
    s.reading.finish();

    for (const auto& [role, record] : r.configurations) {
        const auto bytes = encodeConfigRecord(record);
        runPrepared(
            shown_, s.configuration,
            {reading, QString::fromLatin1(roleName(role)), blob(Bytes(bytes.begin(), bytes.end()))},
            "storing a configuration");
    }
    if (r.accounting) {
        const AccountingRecord& a = *r.accounting;
        runPrepared(shown_, s.accounting,
                    {reading, qint64{a.runningSeconds}, int{a.starts}, int{a.trips},
                     static_cast<qint64>(a.energyMillionthsKwh), text(unitClockText(a.start))},
                    "storing the accounting record");
    }
    if (r.events) {
        for (std::size_t slot = 0; slot < r.events->size(); ++slot) {
            const Bytes& bytes = (*r.events)[slot];
            // Slots the read did not reach, and slots the unit has not written, hold no event.
            if (bytes.size() != kEventRecordSize || isEmptyEventSlot(bytes)) {
                continue;
            }
            const EventRecord event = decodeEventRecord(bytes);
            const auto time = realEventTime(event);
            runPrepared(shown_, s.event,
                        {unit, static_cast<int>(slot), blob(bytes),
                         time ? QVariant(text(unitClockText(*time))) : nullText(),
                         int{event.orderDigit}, int{event.protection}, reading},
                        "storing the events");
        }
    }
    if (r.write) {
        const WriteAudit& w = *r.write;
        runPrepared(shown_, s.write,
                    {reading, w.asFoundReading ? QVariant(*w.asFoundReading) : QVariant(),
                     w.acknowledged ? 1 : 0, text(w.outcome), differencesText(w.changed),
                     differencesText(w.notTaken)},
                    "storing the write");
    }
    return reading;
}

std::optional<ArchiveProblem> Archive::importOnce(const QStringList& keys,
                                                  const Import& importing) {
    if (!statements_) {
        return std::nullopt;
    }
    try {
        // Most opens find every key done: one read, no transaction.
        QSet<QString> done;
        QSqlQuery marks = runOnce(db(), shown_, QStringLiteral("SELECT key FROM archive_meta"), {},
                                  "reading its imports");
        while (marks.next()) {
            done.insert(marks.value(0).toString());
        }
        marks.finish();
        QStringList waiting;
        for (const QString& key : keys) {
            if (!done.contains(key)) {
                waiting << key;
            }
        }
        if (waiting.isEmpty()) {
            return std::nullopt;
        }
        begin();
        for (const QString& key : waiting) {
            // The mark goes first: a second tool importing the same at once waits here for
            // the first to commit, then finds the mark and imports nothing.
            runPrepared(shown_, statements_->importMark,
                        {key, archiveTime(QDateTime::currentDateTime())}, "marking an import");
            if (statements_->importMark.numRowsAffected() == 1) {
                importing(*this, key);
            }
        }
        commit();
    } catch (const ArchiveError& error) {
        rollback();
        return error.problem;
    }
    return std::nullopt;
}

QVariant nullText() {
    return QVariant(QMetaType::fromType<QString>());
}

std::string unitClockText(const ClockStamp& t) {
    char out[40];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", 2000 + t.year, t.month, t.day,
                  t.hours, t.minutes, t.seconds);
    return out;
}

QString archiveTime(const QDateTime& moment) {
    return moment.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QDateTime fromArchiveTime(const QString& text) {
    return QDateTime::fromString(text, Qt::ISODateWithMs).toLocalTime();
}

const char* roleName(ConfigRole role) {
    switch (role) {
    case ConfigRole::AsFound:
        return "as_found";
    case ConfigRole::AsWritten:
        return "as_written";
    case ConfigRole::AsRead:
        return "as_read";
    }
    return "";
}

std::optional<ConfigRole> roleOf(const QString& name) {
    for (const ConfigRole role : {ConfigRole::AsFound, ConfigRole::AsWritten, ConfigRole::AsRead}) {
        if (name == QLatin1String(roleName(role))) {
            return role;
        }
    }
    return std::nullopt;
}

QString differencesText(const std::vector<FieldDifference>& differences) {
    QStringList lines;
    for (const FieldDifference& d : differences) {
        lines << QStringList{text(d.field), text(d.expected), text(d.actual)}.join('\t');
    }
    const QString joined = lines.join('\n');
    return joined.isNull() ? QStringLiteral("") : joined; // a null would be SQL's NULL
}

std::vector<FieldDifference> differencesFrom(const QString& stored) {
    std::vector<FieldDifference> differences;
    for (const QString& line : stored.split('\n', Qt::SkipEmptyParts)) {
        const QStringList parts = line.split('\t');
        if (parts.size() == 3) {
            differences.push_back(
                {parts[0].toStdString(), parts[1].toStdString(), parts[2].toStdString()});
        }
    }
    return differences;
}

std::optional<QDateTime> parseArchiveDate(const QString& given, bool endOfDay) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})(?:[ T](\\d{2}):(\\d{2})(?::(\\d{2}))?)?$"));
    const QRegularExpressionMatch m = form.match(given.trimmed());
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const bool timed = m.hasCaptured(4);
    const QTime time = timed ? QTime(m.captured(4).toInt(), m.captured(5).toInt(),
                                     m.hasCaptured(6) ? m.captured(6).toInt() : 0)
                             : QTime(0, 0);
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    return QDateTime(!timed && endOfDay ? date.addDays(1) : date, time);
}

std::string osUserName() {
    for (const char* name : {"USER", "LOGNAME", "USERNAME"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty()) {
            return value.toStdString();
        }
    }
    // A service or a container may set none: the home folder is named after the user.
    return QDir::home().dirName().toStdString();
}

} // namespace torl7
