#include "records/service_bundle.hpp"

#include "documents/events_csv.hpp"
#include "documents/file_output.hpp"
#include "documents/json_output.hpp"
#include "documents/settings_file.hpp"
#include "documents/settings_values.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <filesystem>

namespace torl7 {

namespace {

const QString kReport = QStringLiteral(".docx");
const QString kSettings = QStringLiteral("_настройки.json");
const QString kEvents = QStringLiteral("_события.csv");
const QString kAccounting = QStringLiteral("_учет.json");
const QString kNoWaveforms = QStringLiteral("_осциллограммы_не_сняты.txt");
const QString kComtradeCfg = QStringLiteral("_осциллограммы.cfg");
const QString kComtradeDat = QStringLiteral("_осциллограммы.dat");
const QString kNoPdf = QStringLiteral("_PDF_не_создан.txt");

} // namespace

QString bundleFolderName(int factoryNumber, const QDate& date) {
    return QStringLiteral("ТОРЛ_№%1_%2").arg(factoryNumber).arg(date.toString(Qt::ISODate));
}

BundleContents bundleOfReading(int factoryNumber, const std::optional<std::string>& firmware,
                               const ReportChainData& chained, const QDateTime& readAt,
                               const std::string& reportTemplate) {
    const SettingsProvenance origin = provenanceOf(
        factoryNumber, readAt.toString(Qt::ISODate).toStdString(), firmware.value_or(""));
    BundleContents contents;
    contents.factoryNumber = factoryNumber;
    contents.date = readAt.date();
    contents.reportTemplate = reportTemplate;
    contents.report =
        reportDataFor(factoryNumber, chained.record, chained.accounting, chained.events,
                      static_cast<std::time_t>(readAt.toSecsSinceEpoch()));
    contents.settingsFile = writeSettingsFile(asPageHolds(chained.record), origin);
    contents.accountingJson = accountingJson(chained.accounting);
    return contents;
}

ServiceBundle::ServiceBundle(QObject* parent) : QObject(parent) {}

void ServiceBundle::start(const QString& parentFolder, BundleContents contents, Written written,
                          Done done) {
    contents_ = std::move(contents);
    written_ = std::move(written);
    done_ = std::move(done);
    step_ = 0;
    ended_ = {};
    ended_.folder =
        QDir(parentFolder).filePath(bundleFolderName(contents_.factoryNumber, contents_.date));
    base_ = QString::fromStdString(reportBaseName(contents_.factoryNumber, contents_.date.year(),
                                                  contents_.date.month(), contents_.date.day()));
    // A folder made afresh is written under a name of its own and renamed whole at the end, so
    // that a run cut short (the program ended, the disk full) never leaves a folder that looks
    // like a unit's finished bundle. What such a run left under that name is ours to remove.
    fresh_ = !QFileInfo::exists(ended_.folder);
    work_ = fresh_ ? ended_.folder + QStringLiteral(".part") : ended_.folder;
    std::error_code ec;
    const std::filesystem::path work(work_.toStdU16String());
    if (fresh_) {
        std::filesystem::remove_all(work, ec);
    }
    std::filesystem::create_directories(work, ec);
    if (ec) {
        ended_.error = QStringLiteral("Не удалось создать папку %1: %2")
                           .arg(work_, QString::fromStdString(ec.message()));
        end();
        return;
    }
    QTimer::singleShot(0, this, &ServiceBundle::next);
}

QString ServiceBundle::path(const QString& suffix) const {
    return QDir(work_).filePath(base_ + suffix);
}

void ServiceBundle::wrote(const QString& name) {
    ended_.files << QFileInfo(name).fileName();
}

bool ServiceBundle::stage(const QString& name, std::string_view bytes) {
    std::string error;
    if (!files_.stage(QDir::toNativeSeparators(name).toStdString(), bytes, error)) {
        ended_.error = QString::fromStdString(error);
        return false;
    }
    wrote(name);
    return true;
}

bool ServiceBundle::writeStep(int step) {
    switch (step) {
    case 0: {
        const QString report = path(kReport);
        DocxDocument document;
        std::string error;
        Bytes docx;
        if (document.openFile(contents_.reportTemplate) &&
            fillReport(document, contents_.report, {}, error)) {
            docx = document.bytes();
        }
        if (docx.empty()) {
            ended_.error = QStringLiteral("%1: %2").arg(
                QFileInfo(report).fileName(),
                QString::fromStdString(error.empty() ? document.error() : error));
            return false;
        }
        return stage(report,
                     std::string_view(reinterpret_cast<const char*>(docx.data()), docx.size()));
    }
    case 1:
        return stage(path(kSettings), contents_.settingsFile);
    case 2:
        return stage(path(kEvents), eventsCsv(contents_.report.events));
    case 3:
        return stage(path(kAccounting), contents_.accountingJson);
    case 4: {
        if (!contents_.waveforms) {
            return stage(path(kNoWaveforms),
                         "Осциллограммы не сохранены: они не были получены. Включите "
                         "диагностику с просмотром фаз и сохраните снова.\n");
        }
        const ComtradeFiles files = comtradeFiles(*contents_.waveforms);
        return stage(path(kComtradeCfg), files.cfg) && stage(path(kComtradeDat), files.dat);
    }
    }
    return false;
}

void ServiceBundle::next() {
    if (step_ < kSteps - 1) {
        if (!writeStep(step_)) {
            // Nothing of this run is in place: the files of an earlier one stay as they were.
            files_.discard();
            ended_.files.clear();
            end();
            return;
        }
        ++step_;
        if (written_) {
            written_(step_, ended_.files.constLast());
        }
        QTimer::singleShot(0, this, &ServiceBundle::next);
        return;
    }
    std::string error;
    if (!files_.commit(error)) {
        ended_.error = QString::fromStdString(error);
        ended_.files.clear();
        end();
        return;
    }
    pdf_.start(
        path(kReport), work_, [this](const PdfConversion& pdf) { pdfEnded(pdf); }, pdfTimeoutMs);
}

void ServiceBundle::pdfEnded(const PdfConversion& pdf) {
    bool noted = true;
    if (pdf.pdf) {
        wrote(*pdf.pdf);
    } else {
        std::string error;
        const std::string note =
            ("PDF отчёта не создан: " + pdf.whyNot +
             "\nОткройте файл .docx в Word или LibreOffice и сохраните его как PDF.\n")
                .toStdString();
        noted = writeFileWhole(QDir::toNativeSeparators(path(kNoPdf)).toStdString(), note, error);
        if (noted) {
            wrote(path(kNoPdf));
        } else {
            ended_.error = QString::fromStdString(error);
        }
    }
    removeStale();
    if (noted) {
        step_ = kSteps;
        if (written_) {
            written_(step_, ended_.files.constLast());
        }
    }
    end();
}

void ServiceBundle::removeStale() {
    // A file an earlier run of the same day wrote and this one did not (the PDF where
    // LibreOffice failed this time, the waveforms where none were drawn) would not belong to
    // the new report. Only the bundle's own names are touched.
    for (const QString& suffix : {kReport, kSettings, kEvents, kAccounting, kNoWaveforms,
                                  kComtradeCfg, kComtradeDat, QStringLiteral(".pdf"), kNoPdf}) {
        const QString name = path(suffix);
        if (!ended_.files.contains(QFileInfo(name).fileName())) {
            QFile::remove(name);
        }
    }
}

void ServiceBundle::end() {
    files_.discard();
    if (fresh_ && ended_.error.isEmpty() && !QDir().rename(work_, ended_.folder)) {
        ended_.error =
            QStringLiteral("Не удалось переименовать папку %1 в %2").arg(work_, ended_.folder);
    }
    if (fresh_ && !ended_.error.isEmpty()) {
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(work_.toStdU16String()), ec);
        ended_.files.clear();
    }
    Done done = std::move(done_);
    done_ = nullptr;
    if (done) {
        done(ended_);
    }
}

} // namespace torl7
