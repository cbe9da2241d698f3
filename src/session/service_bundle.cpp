#include "session/service_bundle.hpp"

#include "documents/events_csv.hpp"
#include "documents/file_output.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace torl7 {

QString bundleFolderName(int factoryNumber, const QDate& date) {
    return QStringLiteral("ТОРЛ_№%1_%2").arg(factoryNumber).arg(date.toString(Qt::ISODate));
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
    if (!QDir().mkpath(ended_.folder)) {
        ended_.error = QStringLiteral("Не удалось создать папку %1").arg(ended_.folder);
        end();
        return;
    }
    QTimer::singleShot(0, this, &ServiceBundle::next);
}

QString ServiceBundle::path(const QString& suffix) const {
    return QDir(ended_.folder).filePath(base_ + suffix);
}

void ServiceBundle::wrote(const QString& name) {
    ended_.files << QFileInfo(name).fileName();
}

bool ServiceBundle::write(const QString& name, const std::string& bytes) {
    std::string error;
    if (!writeFileWhole(QDir::toNativeSeparators(name).toStdString(), bytes, error)) {
        ended_.error = QString::fromStdString(error);
        return false;
    }
    wrote(name);
    return true;
}

bool ServiceBundle::writeStep(int step) {
    switch (step) {
    case 0: {
        const QString report = path(QStringLiteral(".docx"));
        DocxDocument document;
        std::string error;
        if (!document.openFile(contents_.reportTemplate) ||
            !fillReport(document, contents_.report, {}, error) ||
            !document.saveAs(QDir::toNativeSeparators(report).toStdString())) {
            ended_.error = QStringLiteral("%1: %2").arg(
                QFileInfo(report).fileName(),
                QString::fromStdString(error.empty() ? document.error() : error));
            return false;
        }
        wrote(report);
        return true;
    }
    case 1:
        return write(path(QStringLiteral("_настройки.json")), contents_.settingsFile);
    case 2:
        return write(path(QStringLiteral("_события.csv")), eventsCsv(contents_.report.events));
    case 3:
        return write(path(QStringLiteral("_учет.json")), contents_.accountingJson);
    case 4: {
        if (!contents_.waveforms) {
            return write(path(QStringLiteral("_осциллограммы_не_сняты.txt")),
                         "Осциллограммы не сохранены: они не были получены. Включите "
                         "диагностику с просмотром фаз и сохраните снова.\n");
        }
        QFile::remove(path(QStringLiteral("_осциллограммы_не_сняты.txt"))); // an earlier note
        const ComtradeFiles files = comtradeFiles(*contents_.waveforms);
        if (!write(path(QStringLiteral("_осциллограммы.cfg")), files.cfg)) {
            return false;
        }
        if (!write(path(QStringLiteral("_осциллограммы.dat")), files.dat)) {
            // No configuration without its data.
            QFile::remove(path(QStringLiteral("_осциллограммы.cfg")));
            ended_.files.removeLast();
            return false;
        }
        return true;
    }
    }
    return false;
}

void ServiceBundle::next() {
    if (step_ < kSteps - 1) {
        if (!writeStep(step_)) {
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
    pdf_.start(
        path(QStringLiteral(".docx")), ended_.folder,
        [this](const PdfConversion& pdf) { pdfEnded(pdf); }, pdfTimeoutMs);
}

void ServiceBundle::pdfEnded(const PdfConversion& pdf) {
    if (pdf.pdf) {
        QFile::remove(path(QStringLiteral("_PDF_не_создан.txt"))); // an earlier note
        wrote(*pdf.pdf);
    } else if (!write(path(QStringLiteral("_PDF_не_создан.txt")),
                      ("PDF отчёта не создан: " + pdf.whyNot +
                       "\nОткройте файл .docx в Word или LibreOffice и сохраните его как PDF.\n")
                          .toStdString())) {
        end();
        return;
    }
    step_ = kSteps;
    if (written_) {
        written_(step_, ended_.files.constLast());
    }
    end();
}

void ServiceBundle::end() {
    Done done = std::move(done_);
    done_ = nullptr;
    if (done) {
        done(ended_);
    }
}

} // namespace torl7
