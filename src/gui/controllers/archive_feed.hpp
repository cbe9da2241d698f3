// The window's side of the archive. Every read the window makes is handed to a writer thread
// of its own, so the window never waits for the archive; the timeline the "Журнал" shows and
// when the substation's units were last read are asked in a thread too. A reading the archive does
// not take leaves the read done all the same; the window says so once a run, whatever the reason
// and however many reads follow.
#pragma once

#include "documents/events_csv.hpp"
#include "records/archive_writer.hpp"

#include <QObject>

#include <deque>
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
    // The questions are asked in a thread of their own once every reading handed over so far
    // is stored; `answered` runs on the window's thread. A question asked while one runs
    // waits for it; of the timeline questions waiting, only the latest is asked.
    void askTimeline(TimelineFilter filter, Answered answered);
    // When each archived unit was last read; none when the archive could not be asked.
    void askLastSeen(std::function<void(std::vector<UnitSeen>)> answered);
    // A timeline question runs or waits: the answer just heard is not the latest.
    bool askingTimeline() const;

signals:
    void handedOver();

private:
    // Runs on the question's thread; what it returns runs on the window's thread.
    using Question = std::function<std::function<void()>()>;
    enum class Topic { Timeline, LastSeen };
    bool asking() const { return question_.joinable(); }
    void ask(Topic topic, Question question);
    void startQuestion(Topic topic, Question question);
    void questionEnded(const std::function<void()>& answer);

    UnitSession& session_;
    MessageBoxes& boxes_;
    QString location_;
    std::unique_ptr<ArchiveWriter> writer_;
    bool said_ = false;
    std::thread question_;
    Topic running_ = Topic::Timeline;
    std::deque<std::pair<Topic, Question>> waiting_;
};

} // namespace torl7
