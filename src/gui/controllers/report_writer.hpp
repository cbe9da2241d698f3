// "Сохранить протокол": the report chain (configuration, accounting record, event protocol,
// each read fresh from the unit) and the report document made from the template.
#pragma once

#include "documents/report_content.hpp"
#include "session/operations/report_chain.hpp"

#include <QDate>
#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <memory>

namespace torl7 {

class ArchiveFeed;
class MainWindow;

class ReportWriter : public QObject {
    Q_OBJECT
public:
    // The chain reads the protocol into `events`, the table the plain protocol read uses; the
    // report's reading is kept in `archive`.
    ReportWriter(MainWindow& window, EventTable& events, ArchiveFeed& archive);

    // Runs the report chain; each step's data is shown on its page as it arrives, and at the
    // end, with the port closed, the report is written from the pages.
    void btn_save_protClick();
    // Writes the document from what the pages show.
    void prot_save();
    // The chain: each step's data goes on its page as it arrives, the events into the grid at
    // the end; `progress` follows its steps, and `done` hears how it ended.
    using ChainDone = std::function<void(const Outcome<ReportChainData>&)>;
    void runChain(std::function<void(Progress)> progress, ChainDone done);
    ReportStep chainStep() const { return chain_.step(); }

    // What the report holds, read from the controls of the pages at this moment.
    ReportData collectReportData() const;

    // Asks where to save, offering `defaultName`; an empty answer cancels. The program shows
    // the save dialog; tests answer themselves.
    std::function<QString(const QString& defaultName)> askFileName;
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    // Where the template is looked for (beside the program, or installed).
    std::filesystem::path programDir;

private:
    void chainEnded(const Outcome<ReportChainData>& outcome);

    MainWindow& window_;
    ArchiveFeed& archive_;
    ReportChain chain_;
    std::function<void(Progress)> chainProgress_;
    ChainDone chainDone_;
};

} // namespace torl7
