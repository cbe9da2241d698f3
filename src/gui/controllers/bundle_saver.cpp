#include "gui/controllers/bundle_saver.hpp"

#include "documents/file_output.hpp"
#include "documents/json_output.hpp"
#include "documents/report_template.hpp"
#include "gui/controllers/archive_feed.hpp"
#include "gui/controllers/exports.hpp"
#include "gui/controllers/line_gate.hpp"
#include "gui/controllers/report_writer.hpp"
#include "gui/controllers/settings_transfer.hpp"
#include "gui/dialogs/waveform_export_dialog.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/pages/protocol_page.hpp"
#include "records/reading_forms.hpp"
#include "session/operations/unit_commands.hpp"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>

namespace torl7 {

namespace {

// The version, the report chain, then the files.
constexpr int kReadSteps = 1 + ReportChain::kSteps;
constexpr int kAllSteps = kReadSteps + ServiceBundle::kSteps;

} // namespace

BundleSaver::BundleSaver(MainWindow& window, ReportWriter& report, SettingsTransfer& settings,
                         Exports& exports, ArchiveFeed& archive)
    : QObject(&window), window_(window), report_(report), settings_(settings), exports_(exports),
      archive_(archive), version_(window.session(), PortUse::LeaveOpen) {
    setObjectName(QStringLiteral("BundleSaver"));
    askFolder = [this] {
        return QFileDialog::getExistingDirectory(
            &window_, QStringLiteral("Сохранить всё: папка"),
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    };
    askSampleRate = [this]() -> std::optional<double> {
        WaveformExportDialog dialog(&window_, false);
        if (dialog.exec() != QDialog::Accepted || !dialog.choice()) {
            return std::nullopt;
        }
        return dialog.choice()->sampleRate;
    };
    connectWhenLineFree(window.session(), window.TabSheet3->btn_save_all, &QPushButton::clicked,
                        this, &BundleSaver::btn_save_allClick);
    version_.onFinished([this](const Outcome<std::string>& version) { versionRead(version); });
}

void BundleSaver::btn_save_allClick() {
    if (running()) {
        return;
    }
    const auto templatePath = findReportTemplate(report_.programDir);
    if (!templatePath) {
        window_.boxes().error(QStringLiteral("Не найден шаблон !"), kCaptionTool);
        return;
    }
    template_ = utf8Path(*templatePath);
    parentFolder_ = askFolder();
    if (parentFolder_.isEmpty()) {
        return;
    }
    // Said before the unit is read, not after.
    if (const std::string fault = outputFolderFault(parentFolder_.toStdString()); !fault.empty()) {
        window_.boxes().error(QString::fromStdString(fault), kCaptionTool);
        return;
    }
    rate_.reset();
    const auto& drawn = exports_.lastDrawn();
    if (drawn && !drawn->phases.empty()) {
        rate_ = askSampleRate();
        if (!rate_) {
            return;
        }
    }
    progress_ =
        new QProgressDialog(QStringLiteral("Чтение версии…"), QString(), 0, kAllSteps, &window_);
    progress_->setObjectName(QStringLiteral("BundleProgress"));
    progress_->setWindowTitle(QStringLiteral("Сохранить всё"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setValue(0);
    // The settings file names the firmware it was read from, as torl7-cli bundle's does.
    version_.start();
}

void BundleSaver::versionRead(const Outcome<std::string>& version) {
    firmware_ = QString();
    if (version) {
        firmware_ = QString::fromStdString(*version.result);
        window_.TabSheet1->st_vpmk->setText(*firmware_);
    } else if (version.error->kind != SessionError::Kind::Timeout) {
        // No port, or no line: the chain would fare no better.
        closeProgress();
        sayFailure(*version.error, window_.boxes());
        return;
    }
    // A unit that does not give its version is still read; its file then names none.
    readChain();
}

void BundleSaver::readChain() {
    step(1, QStringLiteral("Чтение конфигурации…"));
    report_.runChain(
        [this](Progress progress) {
            const int done = progress.done;
            step(1 + done,
                 done < 2 ? QStringLiteral("Чтение учёта…")
                 : done == 2
                     ? QStringLiteral("Чтение протокола событий…")
                     : QStringLiteral("Чтение протокола событий: блок %1 из 10").arg(done - 2));
        },
        [this](const Outcome<ReportChainData>& outcome) { chainEnded(outcome); });
}

void BundleSaver::step(int value, const QString& label) {
    if (progress_) {
        progress_->setLabelText(label);
        progress_->setValue(value);
    }
}

void BundleSaver::closeProgress() {
    if (progress_) {
        progress_->close();
        progress_->deleteLater();
        progress_ = nullptr;
    }
}

void BundleSaver::chainEnded(const Outcome<ReportChainData>& outcome) {
    if (!outcome) {
        closeProgress();
        sayFailure(*outcome.error, window_.boxes());
        return;
    }
    ArchiveReading reading = withChain(archive_.reading("bundle"), *outcome.result);
    reading.firmware = firmware_.value_or(QString()).toStdString();
    archive_.store(std::move(reading));
    // What the pages show now is what the unit has just given.
    BundleContents contents;
    contents.factoryNumber = window_.TabSheet2->frm1_zn->value();
    contents.date = today();
    contents.reportTemplate = template_;
    contents.report = report_.collectReportData();
    contents.report.made = static_cast<std::time_t>(QDateTime::currentSecsSinceEpoch());
    contents.settingsFile = settings_.settingsText(firmware_);
    if (contents.settingsFile.empty()) {
        closeProgress(); // the box has said which field does not convert
        return;
    }
    contents.accountingJson = accountingJson(outcome.result->accounting);
    if (rate_) {
        WaveformExport waves = *exports_.lastDrawn();
        waves.sampleRate = *rate_;
        waves.station = window_.TabSheet1->oust_text->text().trimmed().toStdString();
        waves.deviceId = std::to_string(contents.factoryNumber);
        contents.waveforms = std::move(waves);
    }
    step(kReadSteps, QStringLiteral("Запись файлов…"));
    writer_.start(
        parentFolder_, std::move(contents),
        [this](int done, const QString& file) {
            step(kReadSteps + done,
                 done + 1 < ServiceBundle::kSteps
                     ? QStringLiteral("Записан %1").arg(file)
                     : QStringLiteral("Записан %1\nСоздание PDF (LibreOffice)…").arg(file));
        },
        [this](const BundleEnded& ended) { bundleEnded(ended); });
}

void BundleSaver::bundleEnded(const BundleEnded& ended) {
    closeProgress();
    if (!ended.error.isEmpty()) {
        window_.boxes().error(ended.error, kCaptionTool);
        return;
    }
    window_.boxes().information(
        QStringLiteral("Сохранено в папку %1:\n%2")
            .arg(QDir::toNativeSeparators(ended.folder), ended.files.join(QLatin1Char('\n'))),
        kCaptionTool);
}

} // namespace torl7
