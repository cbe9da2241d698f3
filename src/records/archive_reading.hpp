// What the archive keeps of one reading of a unit, as a caller hands it over: which unit (and
// the names people use for it, when known), when, what was read and how it ended, and the
// records read: configurations, the accounting record, the event records as the unit sent them,
// and for a write what changed and what the unit took.
#pragma once

#include "documents/settings_file.hpp"
#include "protocol/codecs/accounting_codec.hpp"
#include "protocol/codecs/config_record_codec.hpp"
#include "protocol/codecs/event_codec.hpp"

#include <QDateTime>
#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace torl7 {

// The unit's names from the substation file.
struct UnitNames {
    std::string switchgear;
    std::string bay;
    std::string motor;

    bool operator==(const UnitNames&) const = default;
};

// Which configuration of a reading: the unit's before a write, the one written, or the one
// the unit gave when read (after a write: what it took).
enum class ConfigRole { AsFound, AsWritten, AsRead };

// A write to the unit: what changed against the settings found, and what the unit took.
struct WriteAudit {
    bool acknowledged = false;
    // "taken", "not taken as sent", "not confirmed: ..." (the read-back after a lost
    // acknowledgement).
    std::string outcome;
    std::vector<FieldDifference> changed;  // found (expected) against written (actual)
    std::vector<FieldDifference> notTaken; // written (expected) against read back (actual)
    // The reading that kept the settings found before the write.
    std::optional<qint64> asFoundReading;
};

struct ArchiveReading {
    int unit = 0; // factory number
    std::optional<UnitNames> names;
    QDateTime readAt = QDateTime::currentDateTime();
    std::string kind;            // what was done: "collect", "read-config", "write-config", ...
    std::string result = "done"; // how it ended
    std::string firmware;        // when the unit gave it
    std::string osUser;          // who; the archive fills in the OS user when empty
    std::vector<std::pair<ConfigRole, ConfigRecord>> configurations;
    std::optional<AccountingRecord> accounting;
    std::optional<EventSlots> events;
    std::optional<WriteAudit> write;
};

// Why the archive could not be opened or written; the kind lets the window say it in its
// own words.
struct ArchiveProblem {
    enum class Kind {
        NotADatabase, // the file is not an SQLite database
        NotAnArchive, // a database holding tables of something else
        Newer,        // made by a newer version of the tool: left as it is
        ReadOnly,     // the file or its folder cannot be written
        Locked,       // another program holds it longer than the archive waits
        Missing,      // nothing archived there yet (a query on a file that does not exist)
        Unreachable,  // the server did not take the connection
        Failed,       // any other failure of a statement
    };
    Kind kind = Kind::Failed;
    QString message; // one line, naming the archive
};

// The OS user the tool runs as.
std::string osUserName();

} // namespace torl7
