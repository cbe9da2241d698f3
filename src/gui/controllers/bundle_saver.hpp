// "Сохранить всё…" on the protocol page: the service bundle from the window. The unit is read
// fresh: its version, then the report chain (its data shown on the pages as it arrives, as
// "Сохранить протокол" does), then the report, the settings file, the events, the accounting
// record, the waveforms last drawn and the PDF are written into one folder by the bundle writer
// that torl7-cli uses too. A progress dialog follows the reads and the files.
#pragma once

#include "session/operations/report_chain.hpp"
#include "session/operations/unit_commands.hpp"
#include "records/service_bundle.hpp"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

#include <functional>
#include <optional>
#include <string>

namespace torl7 {

class ArchiveFeed;
class Exports;
class MainWindow;
class ReportWriter;
class SettingsTransfer;

class BundleSaver : public QObject {
    Q_OBJECT
public:
    // The chain is the report's, the settings file the page's, the waveforms the exports';
    // what the unit gave is kept in `archive`.
    BundleSaver(MainWindow& window, ReportWriter& report, SettingsTransfer& settings,
                Exports& exports, ArchiveFeed& archive);

    void btn_save_allClick();
    bool running() const { return progress_ != nullptr; }
    ServiceBundle& writer() { return writer_; }

    // The folder the bundle's folder goes into; empty cancels. The rate of the waveforms last
    // drawn; nothing cancels. The program shows dialogs; tests answer themselves.
    std::function<QString()> askFolder;
    std::function<std::optional<double>()> askSampleRate;
    std::function<QDate()> today = [] { return QDate::currentDate(); };

private:
    void versionRead(const Outcome<std::string>& version);
    void readChain();
    void chainEnded(const Outcome<ReportChainData>& outcome);
    void bundleEnded(const BundleEnded& ended);
    void step(int value, const QString& label);
    void closeProgress();

    MainWindow& window_;
    ReportWriter& report_;
    SettingsTransfer& settings_;
    Exports& exports_;
    ArchiveFeed& archive_;
    VersionRead version_;
    ServiceBundle writer_;
    QPointer<QProgressDialog> progress_;
    QString parentFolder_;
    std::string template_;
    std::optional<double> rate_;
    std::optional<QString> firmware_; // as the unit gave it; empty when it did not
};

} // namespace torl7
