// Reads the unit's event protocol into the grid of the "Протокол" page and says so. The read
// itself is the session's event protocol operation; the report chain reads the protocol into
// the same table and shows it in the same grid.
#pragma once

#include "session/operations/journal_reads.hpp"

#include <QObject>

class QTableWidget;

namespace torl7 {

class ArchiveFeed;
class UnitSession;
class MainWindow;
class ProtocolPage;

// Rows numbered from 1, then the twelve texts of each event.
void fillEventGrid(const EventRows& rows, QTableWidget& grid);

// The twelve texts of the grid's rows, up to the first row without a number and at most the
// unit's 100 events: what the report and the CSV file hold.
EventRows eventGridRows(const QTableWidget& grid);

class ProtocolReader : public QObject {
    Q_OBJECT
public:
    // Connects "Считать протокол"; each read's records are kept in `archive`.
    ProtocolReader(MainWindow& window, ArchiveFeed& archive);

    // "Считать протокол": the ten blocks, the progress bar following them, then the grid.
    void Button1Click();

    // Lives across reads: an entry a later read does not rewrite stays marked as used.
    EventTable& eventTable() { return table_; }

private:
    void finishRead(const Outcome<EventRows>& outcome);

    MainWindow& window_;
    ArchiveFeed& archive_;
    UnitSession& session_;
    ProtocolPage& page_;
    EventTable table_;
    EventProtocolRead read_;
};

} // namespace torl7
