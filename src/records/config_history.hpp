// The unit's settings as they stood before each configuration write, kept as settings files
// in a folder per unit (history/<factory number>/<yyyyMMdd-HHmmss-zzz>.json under the user's
// data folder), so that a write that went wrong can be undone by loading the file before it.
// The newest 50 files of a unit are kept.
#pragma once

#include "protocol/codecs/config_record_codec.hpp"
#include "session/operations/write_configuration.hpp"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace torl7 {

class ConfigHistory : public AsFoundKeeper {
public:
    static constexpr int kKeptPerUnit = 50;

    // `root` holds one folder per unit; by default "history" in the window's data folder,
    // which the headless client shares.
    explicit ConfigHistory(QString root = defaultRoot());
    static QString defaultRoot();

    // Writes the record as the page would hold it (a settings file refuses values outside the
    // controls' limits), then removes the unit's oldest files beyond kKeptPerUnit.
    Kept keepAt(std::uint16_t factoryNumber, const ConfigRecord& unitRecord,
                const QDateTime& readAt) const;
    Kept keep(std::uint16_t factoryNumber, const ConfigRecord& unitRecord) const override {
        return keepAt(factoryNumber, unitRecord, QDateTime::currentDateTime());
    }

    // The unit's files, oldest first.
    QStringList files(std::uint16_t factoryNumber) const;
    QString unitFolder(std::uint16_t factoryNumber) const;

private:
    QString root_;
};

} // namespace torl7
