#include "records/archive_keeper.hpp"

#include "records/archive_writer.hpp"

namespace torl7 {

ArchiveKeeper::ArchiveKeeper(QString location, ConfigHistory fallback)
    : location_(std::move(location)), fallback_(std::move(fallback)) {}

AsFoundKeeper::Kept ArchiveKeeper::keep(std::uint16_t factoryNumber,
                                        const ConfigRecord& unitRecord) const {
    lastReading_.reset();
    problem_.reset();
    lastRecord_ = unitRecord;
    auto opened = Archive::open(location_);
    if (auto* archive = std::get_if<std::unique_ptr<Archive>>(&opened)) {
        importHistoryFolder(**archive, ConfigHistory::defaultRoot());
        ArchiveReading reading;
        reading.unit = factoryNumber;
        reading.kind = "as-found";
        reading.configurations = {{ConfigRole::AsFound, unitRecord}};
        const auto stored = (*archive)->store(reading);
        if (const auto* id = std::get_if<qint64>(&stored)) {
            lastReading_ = *id;
            return {true,
                    QStringLiteral("the archive %1, reading %2")
                        .arg((*archive)->shownLocation())
                        .arg(*id),
                    {}};
        }
        problem_ = std::get<ArchiveProblem>(stored);
    } else {
        problem_ = std::get<ArchiveProblem>(opened);
    }
    return fallback_.keep(factoryNumber, unitRecord);
}

} // namespace torl7
