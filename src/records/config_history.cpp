#include "records/config_history.hpp"

#include "documents/settings_file.hpp"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace torl7 {

ConfigHistory::ConfigHistory(QString root) : root_(std::move(root)) {}

QString ConfigHistory::defaultRoot() {
    // The window's data folder (AppDataLocation of "torl7"), named so that the headless
    // client, whose own would be "torl7-cli", keeps its files in the same history.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("torl7/history"));
}

QString ConfigHistory::unitFolder(std::uint16_t factoryNumber) const {
    return QDir(root_).filePath(QString::number(factoryNumber));
}

QStringList ConfigHistory::files(std::uint16_t factoryNumber) const {
    // The names are times written most significant first: name order is time order.
    QStringList names = QDir(unitFolder(factoryNumber))
                            .entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (QString& name : names) {
        name = QDir(unitFolder(factoryNumber)).filePath(name);
    }
    return names;
}

ConfigHistory::Kept ConfigHistory::keepAt(std::uint16_t factoryNumber,
                                          const ConfigRecord& unitRecord,
                                          const QDateTime& readAt) const {
    const QString folder = unitFolder(factoryNumber);
    if (!QDir().mkpath(folder)) {
        return {false, QDir::toNativeSeparators(folder), {}};
    }
    const QString stamp = readAt.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QString path = QDir(folder).filePath(stamp + QStringLiteral(".json"));
    // Two writes within one millisecond keep both files, in order.
    for (int n = 1; QFile::exists(path); ++n) {
        path = QDir(folder).filePath(QStringLiteral("%1_%2.json").arg(stamp).arg(n));
    }
    const std::string text =
        writeSettingsFile(asPageHolds(unitRecord),
                          provenanceOf(factoryNumber, readAt.toString(Qt::ISODate).toStdString()));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        return {false, QDir::toNativeSeparators(path), file.errorString()};
    }
    QStringList kept = files(factoryNumber);
    while (kept.size() > kKeptPerUnit) {
        QFile::remove(kept.takeFirst());
    }
    return {true, path, {}};
}

} // namespace torl7
