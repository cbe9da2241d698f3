// Inside the archive: running one statement and turning its failure into the archive's error,
// and the statements a reading is stored with, prepared once a connection.
#pragma once

#include "records/archive.hpp"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace torl7 {

// What a failure of either engine means for the user; `doing` says what was being done and
// `shown` names the archive.
ArchiveProblem archiveProblem(const QString& shown, const QSqlError& error, const char* doing);

// Binds `values` in order and runs the prepared `query`; a failure throws ArchiveError.
void runPrepared(const QString& shown, QSqlQuery& query, const QVariantList& values,
                 const char* doing);
// Prepares and runs `statement` once on `db`.
QSqlQuery runOnce(const QSqlDatabase& db, const QString& shown, const QString& statement,
                  const QVariantList& values, const char* doing);
// A null of the type a text column holds.
QVariant nullText();

// The unit's clock as the archive keeps it: "yyyy-MM-dd HH:mm:ss".
std::string unitClockText(const ClockStamp& stamp);
// A moment of this computer as the archive keeps it: UTC, "yyyy-MM-ddTHH:mm:ss.zzzZ", which
// orders as text the way the moments do.
QString archiveTime(const QDateTime& moment);
QDateTime fromArchiveTime(const QString& text);

const char* roleName(ConfigRole role);
std::optional<ConfigRole> roleOf(const QString& name);

// The differences one a line, "field\texpected\tactual"; and back.
QString differencesText(const std::vector<FieldDifference>& differences);
std::vector<FieldDifference> differencesFrom(const QString& text);

} // namespace torl7
