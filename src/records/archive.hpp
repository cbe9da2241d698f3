// The archive: every reading of every unit kept in one SQL database, on SQLite (one file, the
// default ~/.local/share/torl7/archive.sqlite) or on a PostgreSQL server shared by a team
// (postgresql://user@host:port/database), the same schema and statements on both (Qt SQL,
// drivers QSQLITE and QPSQL). Schema and rules: docs/archive.md.
//
// An Archive is one connection, used by the thread that opened it. Opening checks what is
// there before anything is written: a file that is not a database, a database of something
// else, or an archive of a newer schema is refused and left as it is; an older schema is
// brought forward. Each reading is stored in one transaction, so a reading is kept whole or not
// at all; an event read again (the same record bytes in the same slot of the same unit) is kept
// once, by the database's unique key, whoever stores it.
#pragma once

#include "records/archive_reading.hpp"

#include <QSqlDatabase>
#include <QStringList>

#include <functional>
#include <memory>
#include <variant>

namespace torl7 {

class ArchiveStatements;

// A statement failed after the archive was opened (the server went away, the disk is full).
struct ArchiveError {
    ArchiveProblem problem;
};

// Which events the timeline lists.
struct TimelineFilter {
    std::vector<int> units;       // factory numbers; empty: every unit
    std::uint8_t protections = 0; // events where any of these protection bits acted; 0: all
    // The unit's clock, "yyyy-MM-dd HH:mm:ss": from (inclusive), until (exclusive); empty: open.
    std::string from;
    std::string until;
};

struct TimelineEvent {
    int unit = 0;
    UnitNames names;        // as the archive knows them
    int slot = 0;           // 0..99
    Bytes record;           // the 24 bytes as the unit sent them
    std::string occurredAt; // the unit's clock, "yyyy-MM-dd HH:mm:ss"
};

// When a unit was last read, and the firmware it last gave (empty when it never did).
struct UnitSeen {
    int unit = 0;
    QDateTime readAt;
    std::string firmware;

    bool operator==(const UnitSeen&) const = default;
};

// One reading of a unit, and what its settings looked like against the reading before.
struct HistoryEntry {
    qint64 reading = 0;
    QDateTime readAt;
    std::string kind;
    std::string result;
    std::string firmware;
    std::string osUser;
    std::string host;
    int newEvents = 0; // events this reading was the first to keep
    std::vector<ConfigRole> configurations;
    // The settings the unit held (as found or as read) against those it held at the reading
    // before that had any; empty when equal or when there was none before.
    std::vector<FieldDifference> changes;
    std::optional<WriteAudit> write;
};

// A unit whose settings at a reading differ from those at its reading before.
struct SettingsChange {
    int unit = 0;
    UnitNames names;
    QDateTime readAt;
    QDateTime previousReadAt;
    std::vector<FieldDifference> differences;
};

class Archive {
public:
    enum class Engine { SQLite, PostgreSQL };
    enum class Access { ReadWrite, ReadOnly };
    static constexpr int kSchemaVersion = 1;
    // How long a statement waits for another writer of the same SQLite file.
    static constexpr int kBusyTimeoutMs = 5000;
    // How long opening waits for a server.
    static constexpr int kConnectTimeoutSeconds = 5;

    // The archive `location` names: a postgresql:// (or postgres://) address, a file path, or
    // empty for the default file (TORL7_ARCHIVE when set).
    static std::variant<std::unique_ptr<Archive>, ArchiveProblem>
    open(const QString& location, Access access = Access::ReadWrite,
         int busyTimeoutMs = kBusyTimeoutMs);
    static QString defaultFile();
    static QString defaultLocation();
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    Engine engine() const { return engine_; }
    // The location as it may be shown: a server's address without its password.
    const QString& shownLocation() const { return shown_; }

    // Stores the reading in one transaction; the reading's id, or why it was not stored
    // (then nothing of it is).
    std::variant<qint64, ArchiveProblem> store(const ArchiveReading& reading);

    // The once-only imports named `keys` (an old file each): those the archive has not yet
    // marked done are handed to `importing`, which stores their readings (through
    // `storeWithin`) in the one transaction that marks them done; so each is kept whole and
    // once, also when two tools open the archive at once, and one added later is imported
    // at the next call.
    using Import = std::function<void(Archive&, const QString& key)>;
    std::optional<ArchiveProblem> importOnce(const QStringList& keys, const Import& importing);
    // Within an import: stores one reading in the running transaction.
    qint64 storeWithin(const ArchiveReading& reading);

    // The queries throw ArchiveError when a statement fails.
    std::vector<TimelineEvent> timeline(const TimelineFilter& filter);
    std::vector<HistoryEntry> history(int unit);
    // Every reading since `since` whose settings differ from the unit's reading before it.
    std::vector<SettingsChange> changesSince(const QDateTime& since);
    // The settings kept with a reading: as found before a write, else as read, else as written;
    // with the unit's number. Nothing when the reading has none (or is not there).
    std::optional<std::pair<int, ConfigRecord>> settingsAt(qint64 reading);
    // The units archived, with the names last stored for them, in number order.
    std::vector<std::pair<int, UnitNames>> units();
    // Each archived unit's latest reading, in number order.
    std::vector<UnitSeen> lastSeen();

    // For tests and tools: one statement's first column of its first row.
    QVariant scalar(const QString& statement);

private:
    Archive(Engine engine, QString connection, QString shown);
    std::optional<ArchiveProblem> prepare(Access access, int busyTimeoutMs);
    std::optional<ArchiveProblem> migrate();
    void begin();
    void commit();
    void rollback();
    qint64 unitId(const ArchiveReading& reading);
    QSqlDatabase db() const;

    Engine engine_;
    QString connection_;
    QString shown_;
    std::unique_ptr<ArchiveStatements> statements_;
    friend class ArchiveStatements;
};

// When `text` (a date "yyyy-MM-dd", or a date and time "yyyy-MM-dd HH:mm[:ss]", with a blank or
// a 'T') is a real local date and time, that moment; `endOfDay` takes a bare date to the end
// of that day (the start of the next).
std::optional<QDateTime> parseArchiveDate(const QString& text, bool endOfDay = false);

} // namespace torl7
