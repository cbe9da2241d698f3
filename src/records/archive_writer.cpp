#include "records/archive_writer.hpp"

#include "documents/text_file.hpp"
#include "records/config_history.hpp"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

#include <map>

namespace torl7 {

ArchiveWriter::ArchiveWriter(QString location, QObject* parent)
    : QObject(parent), location_(std::move(location)), thread_([this] { run(); }) {}

ArchiveWriter::~ArchiveWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ArchiveWriter::store(ArchiveReading reading) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(reading));
    }
    wake_.notify_all();
}

void ArchiveWriter::waitUntilStored() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

int ArchiveWriter::storedCount() const {
    std::lock_guard lock(mutex_);
    return stored_;
}

int ArchiveWriter::droppedCount() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

std::optional<ArchiveProblem> ArchiveWriter::firstProblem() const {
    std::lock_guard lock(mutex_);
    return firstProblem_;
}

// The writer's thread: the archive's connection lives and dies here. An archive that could not
// be opened is tried again for the next reading (a server back, a lock let go).
void ArchiveWriter::run() {
    std::unique_ptr<Archive> archive;
    for (;;) {
        ArchiveReading reading;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) {
                break;
            }
            reading = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
        }
        std::optional<ArchiveProblem> problem;
        if (!archive) {
            auto opened = Archive::open(location_);
            if (auto* refused = std::get_if<ArchiveProblem>(&opened)) {
                problem = *refused;
            } else {
                archive = std::move(std::get<std::unique_ptr<Archive>>(opened));
                // The old history folder is no reason to drop a reading: it is tried again at
                // the next start.
                importHistoryFolder(*archive, ConfigHistory::defaultRoot());
            }
        }
        if (archive) {
            const auto stored = archive->store(reading);
            if (const auto* refused = std::get_if<ArchiveProblem>(&stored)) {
                problem = *refused;
                if (refused->kind == ArchiveProblem::Kind::Unreachable) {
                    archive.reset(); // opened afresh for the next reading
                }
            }
        }
        bool first = false;
        {
            std::lock_guard lock(mutex_);
            (problem ? dropped_ : stored_) += 1;
            if (problem && !firstProblem_) {
                firstProblem_ = problem;
                first = true;
            }
            busy_ = false;
        }
        idle_.notify_all();
        if (first) {
            QMetaObject::invokeMethod(
                this,
                [this, said = *problem] {
                    if (onNotWritten) {
                        onNotWritten(said);
                    }
                },
                Qt::QueuedConnection);
        }
    }
    archive.reset();
    std::lock_guard lock(mutex_);
    busy_ = false;
    idle_.notify_all();
}

std::optional<ArchiveProblem> importHistoryFolder(Archive& archive, const QString& root) {
    const QDir folder(root);
    if (!folder.exists()) {
        return std::nullopt;
    }
    // Each file is marked by this computer and its path: the folder still takes the settings
    // found when the archive cannot, and those are imported at the next open that can.
    const QString mark = QStringLiteral("history import: %1:").arg(QSysInfo::machineHostName());
    std::map<QString, std::pair<int, QString>> files; // mark -> unit, path
    for (const QString& unitFolder : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const int unit = unitFolder.toInt(&number);
        if (!number) {
            continue;
        }
        const QDir unitFiles(folder.filePath(unitFolder));
        for (const QString& name :
             unitFiles.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
            const QString path = unitFiles.absoluteFilePath(name);
            files[mark + path] = {unit, path};
        }
    }
    QStringList keys;
    for (const auto& entry : files) {
        keys << entry.first;
    }
    return archive.importOnce(keys, [&](Archive& into, const QString& key) {
        const auto& [unit, path] = files.at(key);
        const TextFileRead text = readTextFile(path.toStdString());
        const SettingsReadResult read =
            text.text ? readSettingsFile(*text.text) : SettingsReadResult{};
        if (!read.file) {
            return; // a file that does not read is left out
        }
        ArchiveReading reading;
        reading.unit = unit;
        reading.kind = "as-found";
        reading.result = "imported";
        reading.firmware = read.file->provenance.firmware;
        // The time the file was kept: its own note, else its name.
        QDateTime at = QDateTime::fromString(QString::fromStdString(read.file->provenance.readAt),
                                             Qt::ISODate);
        if (!at.isValid()) {
            at = QDateTime::fromString(QFileInfo(path).completeBaseName().left(19),
                                       QStringLiteral("yyyyMMdd-HHmmss-zzz"));
        }
        reading.readAt = at.isValid() ? at : QFileInfo(path).lastModified();
        reading.configurations = {{ConfigRole::AsFound, read.file->record}};
        into.storeWithin(reading);
    });
}

} // namespace torl7
