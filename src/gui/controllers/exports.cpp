#include "gui/controllers/exports.hpp"

#include "documents/events_csv.hpp"
#include "documents/file_output.hpp"
#include "documents/report_content.hpp"
#include "gui/controllers/protocol_reader.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/pages/protocol_page.hpp"

#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>

namespace torl7 {

Exports::Exports(MainWindow& window) : QObject(&window), window_(window) {
    setObjectName(QStringLiteral("Exports"));
    askSaveName = [this](const QString& name, const QString& filter) {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QFileDialog::getSaveFileName(&window_, QString(), QDir(folder).filePath(name),
                                            filter);
    };
    connect(window.TabSheet3->btn_save_csv, &QPushButton::clicked, this,
            &Exports::btn_save_csvClick);
}

QString Exports::defaultName(const QString& suffix) const {
    const QDate date = today();
    return QString::fromStdString(reportBaseName(window_.TabSheet2->frm1_zn->value(), date.year(),
                                                 date.month(), date.day())) +
           suffix;
}

bool Exports::save(const QString& path, const std::string& bytes) {
    std::string error;
    if (!writeFileWhole(QDir::toNativeSeparators(path).toStdString(), bytes, error)) {
        window_.boxes().error(QString::fromStdString(error), kCaptionTool);
        return false;
    }
    return true;
}

void Exports::btn_save_csvClick() {
    const QString path = askSaveName(defaultName(QStringLiteral("_события.csv")),
                                     QStringLiteral("CSV (*.csv);;Все файлы (*)"));
    if (path.isEmpty()) {
        return;
    }
    save(path, eventsCsv(eventGridRows(*window_.TabSheet3->StGr_prot)));
}

} // namespace torl7
