// Storing readings without holding up whoever read them: `store` hands the reading to a thread
// of the writer's own, which keeps its own connection to the archive and stores the readings
// one after another, each in its transaction. A reading the archive cannot take (it cannot be
// opened, is locked, refuses) is dropped from the archive only: the read it came from has
// succeeded all the same, and the owner hears why once.
#pragma once

#include "records/archive.hpp"

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace torl7 {

class ArchiveWriter : public QObject {
    Q_OBJECT
public:
    // `location` as Archive::open takes it. The archive is opened by the first reading stored
    // (the first store of a run also imports the old history folder, once an archive).
    explicit ArchiveWriter(QString location, QObject* parent = nullptr);
    // Stores what was handed over before it goes.
    ~ArchiveWriter() override;

    // Returns at once.
    void store(ArchiveReading reading);
    // Returns when every reading handed over has been stored or dropped: for a program about
    // to end.
    void waitUntilStored();

    // Heard on the owner's thread, once for the writer's life: the first reading the archive
    // did not take, and why.
    std::function<void(const ArchiveProblem&)> onNotWritten;

    // Counted as the thread goes; read after waitUntilStored for final figures.
    int storedCount() const;
    int droppedCount() const;
    std::optional<ArchiveProblem> firstProblem() const;

private:
    void run();

    QString location_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<ArchiveReading> queue_;
    bool busy_ = false;
    bool stopping_ = false;
    int stored_ = 0;
    int dropped_ = 0;
    std::optional<ArchiveProblem> firstProblem_;
    std::thread thread_;
};

// The old history folder of settings found before writes (ConfigHistory's JSON files, one
// folder per unit), imported into `archive` once: each file becomes an as-found reading of its
// unit at the time the file names. Files that do not read are left out. Each file is keyed by
// this computer and its path, so it is imported into a shared archive once, and a file the
// folder took while the archive could not is imported at the next open.
std::optional<ArchiveProblem> importHistoryFolder(Archive& archive, const QString& root);

} // namespace torl7
