// The "Подстанция" tab: the substation file opened, edited and saved; "Собрать всё" reading every
// unit with the lines side by side, the table's result column filled as units end; and a unit
// picked by a double click, which points the connection bar (port, speed, factory number) at
// it so that every action of the other pages serves that unit. When a unit last answered and
// its firmware are what the collections of this run found: the tool keeps nothing between runs.
#pragma once

#include "documents/substation_file.hpp"
#include "gui/dialogs/sweep_dialog.hpp"
#include "records/substation_run.hpp"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace torl7 {

class ArchiveFeed;
class CollectDialog;
class MainWindow;
class PortLine;
class ReportWriter;
class UnitSession;
class UnitSweep;
class UnitsPage;
struct UnitSeen;

class SubstationUnits : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Collecting, Sweeping, Cancelling };

    // The report template is looked up where the report's writer looks.
    // Every unit a collection reads is kept in `archive`.
    SubstationUnits(MainWindow& window, ReportWriter& report, ArchiveFeed& archive);
    ~SubstationUnits() override;

    void openFile();         // "Открыть…"
    void saveFile();         // "Сохранить…"
    void addUnit();          // "Добавить…"
    void editChosenUnit();   // "Изменить…"
    void removeChosenUnit(); // "Удалить"
    void collectAll();       // "Собрать всё"
    void sweepLine();        // "Найти на линии…"
    void cancelCollection();
    // Points the connection bar at the unit of the chosen row and shows the diagnostics page.
    void pointPagesAtChosen();

    // Shows the substation file at `path`; false, after a box saying why, when it does not read.
    bool open(const QString& path);
    // True when nothing is left unsaved, or the user lets the edits go.
    bool mayDropEdits();

    State state() const { return state_; }
    const Substation& substation() const { return substation_; }
    CollectDialog* progress() const;

    // The file to open, the file to save into, the folder the units' folders go into (empty:
    // cancelled), and the edited substation (nothing: cancelled). The program shows dialogs;
    // tests answer themselves.
    std::function<QString()> askOpenPath;
    std::function<QString()> askSavePath;
    std::function<QString()> askFolder;
    std::function<std::optional<Substation>(int editing)> askUnit;
    // The line and the numbers to sweep (nothing: cancelled).
    std::function<std::optional<SweepRequest>()> askSweep;

private:
    // What is known of a unit: what this run found, or the archive's last reading of it.
    struct Seen {
        QDateTime lastAnswer; // null: it has not answered
        QString firmware;
        QString result; // how its last collection ended, or the step under way
        QString detail; // its folder, or why it was not collected
    };

    void edit(int number);
    void progressed(const RunProgress& progress);
    void unitEnded(const UnitOutcome& outcome);
    void collectionEnded(const std::vector<UnitOutcome>& units);
    void closeProgress();
    std::optional<SweepRequest> askSweepInDialog();
    void sweepEnded(const Outcome<std::vector<int>>& outcome);
    // Fills in what the archive knows of the units: asked in the background, heard by
    // archiveSaw.
    void askArchive();
    void archiveSaw(const std::vector<UnitSeen>& seen);
    void fillTable();
    void fillRow(int row);
    void showDetail();
    int chosenRow() const;
    void updateState();

    MainWindow& window_;
    ReportWriter& report_;
    ArchiveFeed& archive_;
    UnitsPage& page_;
    Substation substation_;
    QString path_;
    bool modified_ = false;
    std::map<int, Seen> seen_;
    State state_ = State::Idle;
    QPointer<SubstationRun> run_;
    QPointer<CollectDialog> progress_;
    QString folder_;
    int unitsEnded_ = 0;
    // The sweep under way: its own line and session, as a collection's line has.
    SweepRequest sweeping_;
    std::unique_ptr<PortLine> sweepLine_;
    std::unique_ptr<UnitSession> sweepSession_;
    std::unique_ptr<UnitSweep> sweep_;
};

} // namespace torl7
