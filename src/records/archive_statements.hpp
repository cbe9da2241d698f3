// The statements a reading is stored with, prepared once for a connection: a collection
// stores dozens of readings of a hundred event slots each.
#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>

namespace torl7 {

class ArchiveStatements {
public:
    // Throws ArchiveError when a statement does not prepare.
    ArchiveStatements(const QSqlDatabase& db, const QString& shown);

    // The unit's row made or found, its names set (or left as they are); its id returned.
    QSqlQuery unitWithNames;
    QSqlQuery unitOnly;
    QSqlQuery reading;
    QSqlQuery configuration;
    QSqlQuery accounting;
    // An event slot kept unless the same record in the same slot of the unit is kept already.
    QSqlQuery event;
    QSqlQuery write;
    QSqlQuery importMark;

private:
    QSqlQuery prepared(const QSqlDatabase& db, const QString& shown, const char* statement);
};

} // namespace torl7
