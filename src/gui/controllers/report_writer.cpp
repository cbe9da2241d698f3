#include "gui/controllers/report_writer.hpp"

#include "documents/report_template.hpp"
#include "gui/controllers/accounting.hpp"
#include "gui/controllers/archive_feed.hpp"
#include "gui/controllers/configuration.hpp"
#include "gui/controllers/line_gate.hpp"
#include "gui/controllers/protocol_reader.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/pages/protocol_page.hpp"
#include "records/reading_forms.hpp"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>

namespace torl7 {

namespace {

std::string text(const QString& s) {
    return s.toStdString();
}

} // namespace

ReportWriter::ReportWriter(MainWindow& window, EventTable& events, ArchiveFeed& archive)
    : QObject(&window), window_(window), archive_(archive), chain_(window.session(), events) {
    programDir = std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String());
    askFileName = [this](const QString& defaultName) {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QFileDialog::getSaveFileName(&window_, QString(),
                                            QDir(folder).filePath(defaultName));
    };
    connectWhenLineFree(window.session(), window.TabSheet3->btn_save_prot, &QPushButton::clicked,
                        this, &ReportWriter::btn_save_protClick);
    ProtocolPage* page = window.TabSheet3;
    chain_.onProgress([this, page](Progress progress) {
        // The protocol page's bar follows the event blocks.
        page->pb_prot->setValue(std::max(0, progress.done - 2));
        if (chainProgress_) {
            chainProgress_(progress);
        }
    });
    chain_.onFinished([this](const Outcome<ReportChainData>& outcome) { chainEnded(outcome); });
}

void ReportWriter::btn_save_protClick() {
    runChain(nullptr, [this](const Outcome<ReportChainData>& outcome) {
        if (!outcome) {
            sayFailure(*outcome.error, window_.boxes());
            return;
        }
        archive_.store(withChain(archive_.reading("report"), *outcome.result));
        prot_save();
    });
}

void ReportWriter::runChain(std::function<void(Progress)> progress, ChainDone done) {
    ProtocolPage* page = window_.TabSheet3;
    page->pb_prot->setValue(0);
    chainProgress_ = std::move(progress);
    chainDone_ = std::move(done);
    ReportChain::Observer show;
    show.configurationRead = [this](const ConfigRecord& record) {
        applyRecordToPage(record, *window_.TabSheet1);
    };
    show.accountingRead = [page](const AccountingRecord& record) { showAccounting(record, *page); };
    chain_.start(std::move(show));
}

void ReportWriter::chainEnded(const Outcome<ReportChainData>& outcome) {
    if (outcome) {
        // The configuration and the accounting record are on their pages already.
        fillEventGrid(outcome.result->events, *window_.TabSheet3->StGr_prot);
        window_.TabSheet3->pb_prot->setValue(0);
    }
    if (const ChainDone done = chainDone_) {
        done(outcome);
    }
}

ReportData ReportWriter::collectReportData() const {
    const ProtocolPage& p = *window_.TabSheet3;
    ReportData data;
    data.factoryNumber = std::to_string(window_.TabSheet2->frm1_zn->value());

    const EventRows rows = eventGridRows(*p.StGr_prot);
    data.events.assign(rows.begin(), rows.end());

    data.settingsValues = settingsValuesOnPage(*window_.TabSheet1);
    data.accountingValues = {text(p.st_nuh->text()), text(p.st_tdv->text()),
                             text(p.st_kvdv->text()), text(p.st_kzdv->text()),
                             text(p.st_nwa->text())};
    return data;
}

void ReportWriter::prot_save() {
    MessageBoxes& boxes = window_.boxes();
    QProgressBar* progress = window_.TabSheet3->pb_prot;
    const auto templatePath = findReportTemplate(programDir);
    if (!templatePath) {
        boxes.error(QStringLiteral("Не найден шаблон !"), kCaptionTool);
        return;
    }
    progress->setValue(1);
    DocxDocument document;
    if (!document.openFile(utf8Path(*templatePath))) {
        boxes.error(QString::fromStdString(document.error()), kCaptionTool);
        return;
    }
    progress->setValue(2);
    std::string error;
    ReportData data = collectReportData();
    data.made = static_cast<std::time_t>(QDateTime::currentSecsSinceEpoch());
    if (!fillReport(
            document, data, [progress](int position) { progress->setValue(position); }, error)) {
        boxes.error(QString::fromStdString(error), kCaptionTool);
        return;
    }
    const QDate date = today();
    const QString defaultName = QString::fromStdString(defaultReportName(
        window_.TabSheet2->frm1_zn->value(), date.year(), date.month(), date.day()));
    const QString path = askFileName(defaultName);
    if (path.isEmpty()) {
        return;
    }
    if (!document.saveAs(withReportExtension(QDir::toNativeSeparators(path).toStdString()))) {
        boxes.error(QString::fromStdString(document.error()), kCaptionTool);
        return;
    }
    boxes.information(QStringLiteral("Протокол сохранен !"), kCaptionTool);
}

} // namespace torl7
