// The settings found before a write, kept in the archive: the write goes out only once they
// are safe, so keeping is done at once (one small transaction; a local file takes a few ms).
// When the archive cannot take them, they go to the history folder of settings files as before,
// so that a write is never stopped, nor left without its undo, by the archive.
#pragma once

#include "records/archive.hpp"
#include "records/config_history.hpp"

namespace torl7 {

class ArchiveKeeper : public AsFoundKeeper {
public:
    explicit ArchiveKeeper(QString location, ConfigHistory fallback = ConfigHistory());

    Kept keep(std::uint16_t factoryNumber, const ConfigRecord& unitRecord) const override;

    // The reading that holds the settings last kept in the archive; nothing when they went
    // to the folder.
    std::optional<qint64> lastReading() const { return lastReading_; }
    // The settings last kept, wherever they went.
    const std::optional<ConfigRecord>& lastRecord() const { return lastRecord_; }
    // Why the archive did not take them, when it did not.
    const std::optional<ArchiveProblem>& problem() const { return problem_; }

private:
    QString location_;
    ConfigHistory fallback_;
    mutable std::optional<qint64> lastReading_;
    mutable std::optional<ConfigRecord> lastRecord_;
    mutable std::optional<ArchiveProblem> problem_;
};

} // namespace torl7
