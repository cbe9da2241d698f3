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

class MainWindow;

class ReportWriter : public QObject {
    Q_OBJECT
public:
    explicit ReportWriter(MainWindow& window);

    // Runs the report chain; each step's data is shown on its page as it arrives, and at the
    // end, with the port closed, the report is written from the pages.
    void btn_save_protClick();
    // Writes the document from what the pages show.
    void prot_save();
    // The chain over the port it opens: each step's data goes on its page as it arrives, the
    // events into the grid at the end, and `progress` gets 1 after the configuration, 2 after
    // the accounting record and 2 + n after n event blocks. False when the session is busy
    // or the port does not open (its box has been shown).
    static constexpr int kChainSteps = 12;
    bool runChain(std::function<void(int)> progress, ReportChain::Done done);
    ReportStep chainStep() const { return chain_ ? chain_->step() : ReportStep::Idle; }

    // What the report holds, read from the controls of the pages at this moment.
    ReportData collectReportData() const;

    // Asks where to save, offering `defaultName`; an empty answer cancels. The program shows
    // the save dialog; tests answer themselves.
    std::function<QString(const QString& defaultName)> askFileName;
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    // Where the template is looked for (beside the program, or installed).
    std::filesystem::path programDir;

private:
    MainWindow& window_;
    std::unique_ptr<ReportChain> chain_;
};

} // namespace torl7
