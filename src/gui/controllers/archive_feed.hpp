// The window's side of the archive. Every read the window makes is handed to a writer thread
// of its own, so the window never waits for the archive; the timeline the "Журнал" shows is
// asked in a thread too. A reading the archive does not take leaves the read done all the
// same; the window says so once a run, whatever the reason and however many reads follow.
#pragma once

#include "documents/events_csv.hpp"
#include "records/archive_writer.hpp"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace torl7 {

class MainWindow;
class MessageBoxes;
class UnitSession;

// Why a reading was not archived, in the window's words: the reason and the archive named.
QString notArchivedText(const ArchiveProblem& problem, const QString& shownLocation);

class ArchiveFeed : public QObject {
    Q_OBJECT
public:
    // `location` as Archive::open takes it; the window's is the default archive.
    ArchiveFeed(MainWindow& window, QString location);
    // Stores what was handed over and lets a running question end first.
    ~ArchiveFeed() override;

    const QString& location() const { return location_; }
    // The location as it may be shown: a server's address without its password.
    QString shownLocation() const;

    // A reading of `kind` of the unit the window works with now.
    ArchiveReading reading(const char* kind) const;
    // Returns at once; heard by `handedOver`.
    void store(ArchiveReading reading);
    // The archive did not take what the window read: one box a run, the first reason.
    void notWritten(const ArchiveProblem& problem);

    struct Timeline {
        std::vector<UnitEventRow> rows;
        std::vector<std::pair<int, UnitNames>> units; // every unit archived
        std::optional<ArchiveProblem> problem;        // the archive could not be asked
    };
    using Answered = std::function<void(Timeline)>;
    // Asks the archive in a thread of its own once every reading handed over so far is stored;
    // `answered` runs on the window's thread. A question asked while one runs waits for it,
    // and only the latest waiting one is asked.
    void askTimeline(TimelineFilter filter, Answered answered);
    bool asking() const { return question_.joinable(); }

signals:
    void handedOver();

private:
    void startQuestion(TimelineFilter filter, Answered answered);
    void questionEnded(Timeline timeline);

    UnitSession& session_;
    MessageBoxes& boxes_;
    QString location_;
    std::unique_ptr<ArchiveWriter> writer_;
    bool said_ = false;
    std::thread question_;
    Answered answered_;
    std::optional<std::pair<TimelineFilter, Answered>> waiting_;
};

} // namespace torl7
