#include "gui/controllers/exports.hpp"

#include "documents/events_csv.hpp"
#include "documents/file_output.hpp"
#include "documents/report_content.hpp"
#include "gui/controllers/protocol_reader.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/pages/protocol_page.hpp"
#include "session/operations/diag_poll.hpp"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>

namespace torl7 {

Exports::Exports(MainWindow& window, const DiagPoll& poll)
    : QObject(&window), window_(window), poll_(poll) {
    setObjectName(QStringLiteral("Exports"));
    askSaveName = [this](const QString& name, const QString& filter) {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QFileDialog::getSaveFileName(&window_, QString(), QDir(folder).filePath(name),
                                            filter);
    };
    askWaveformExport = [this]() -> std::optional<WaveformExportChoice> {
        WaveformExportDialog dialog(&window_);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.choice();
    };
    connect(window.TabSheet3->btn_save_csv, &QPushButton::clicked, this,
            &Exports::btn_save_csvClick);
    connect(window.TabSheet2->btn_save_waves, &QPushButton::clicked, this,
            &Exports::btn_save_wavesClick);
    connect(&poll, &DiagPoll::waveformsReady, this, &Exports::keepDrawn);
}

void Exports::keepDrawn(const WaveformSamples& samples) {
    WaveformExport drawn;
    drawn.samples = samples;
    drawn.phases = phasesOfBlocks(poll_.blockSelectors(), poll_.blockCount());
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    setArrival(drawn, static_cast<std::time_t>(now / 1000), static_cast<int>(now % 1000) * 1000);
    lastDrawn_ = drawn;
}

QString Exports::defaultName(const QString& suffix) const {
    const QDate date = today();
    return QString::fromStdString(reportBaseName(window_.TabSheet2->frm1_zn->value(), date.year(),
                                                 date.month(), date.day())) +
           suffix;
}

bool Exports::save(std::initializer_list<std::pair<QString, std::string>> files) {
    FileSetWriter set;
    std::string error;
    for (const auto& [path, bytes] : files) {
        if (!set.stage(QDir::toNativeSeparators(path).toStdString(), bytes, error)) {
            window_.boxes().error(QString::fromStdString(error), kCaptionTool);
            return false;
        }
    }
    if (!set.commit(error)) {
        window_.boxes().error(QString::fromStdString(error), kCaptionTool);
        return false;
    }
    return true;
}

void Exports::btn_save_csvClick() {
    saveCsvAs(defaultName(QStringLiteral("_события.csv")),
              eventsCsv(eventGridRows(*window_.TabSheet3->StGr_prot)));
}

bool Exports::saveCsvAs(const QString& defaultName, const std::string& csv) {
    const QString path = askSaveName(defaultName, QStringLiteral("CSV (*.csv);;Все файлы (*)"));
    return !path.isEmpty() && save({{path, csv}});
}

void Exports::btn_save_wavesClick() {
    if (!lastDrawn_ || lastDrawn_->phases.empty()) {
        window_.boxes().information(
            QStringLiteral("Осциллограммы ещё не получены: включите диагностику с просмотром фаз."),
            kCaptionTool);
        return;
    }
    const auto choice = askWaveformExport();
    if (!choice) {
        return;
    }
    WaveformExport record = *lastDrawn_;
    record.sampleRate = choice->sampleRate;
    // The installation text and the factory number as the window shows them now.
    record.station = window_.TabSheet1->oust_text->text().trimmed().toStdString();
    record.deviceId = std::to_string(window_.TabSheet2->frm1_zn->value());
    if (choice->format == WaveformFormat::Csv) {
        const QString path = askSaveName(defaultName(QStringLiteral("_осциллограммы.csv")),
                                         QStringLiteral("CSV (*.csv);;Все файлы (*)"));
        if (!path.isEmpty()) {
            save({{path, waveformCsv(record)}});
        }
        return;
    }
    const bool single = choice->comtrade == ComtradeFormat::Cff2013;
    const QString suffix = single ? QStringLiteral(".cff") : QStringLiteral(".cfg");
    QString path = askSaveName(defaultName(QStringLiteral("_осциллограммы") + suffix),
                               QStringLiteral("COMTRADE (*%1)").arg(suffix));
    if (path.isEmpty()) {
        return;
    }
    const ComtradeFiles files = comtradeFiles(record, choice->comtrade);
    if (single) {
        save({{path.endsWith(suffix, Qt::CaseInsensitive) ? path : path + suffix, files.cff}});
        return;
    }
    // The pair shares one name: BASE.cfg and BASE.dat.
    if (path.endsWith(QStringLiteral(".cfg"), Qt::CaseInsensitive)) {
        path.chop(4);
    }
    // Replaced as a pair: never a new configuration beside old data.
    save({{path + QStringLiteral(".cfg"), files.cfg}, {path + QStringLiteral(".dat"), files.dat}});
}

} // namespace torl7
