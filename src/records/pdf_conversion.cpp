#include "records/pdf_conversion.hpp"

#include "documents/file_output.hpp"
#include "session/wait_until_ended.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <utility>

namespace torl7 {

PdfConverter::PdfConverter(QObject* parent) : QObject(parent) {
    process_.setProcessChannelMode(QProcess::MergedChannels);
    limit_.setSingleShot(true);
    connect(&process_, &QProcess::finished, this, &PdfConverter::finished);
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && running()) {
            end({std::nullopt,
                 QStringLiteral("LibreOffice не запустился: %1").arg(process_.errorString())});
        }
    });
    connect(&limit_, &QTimer::timeout, this, [this] {
        const int seconds = limit_.interval() / 1000;
        Done done = std::exchange(done_, nullptr); // the kill's own ending is not the answer
        process_.kill();
        process_.waitForFinished(5000);
        done_ = std::move(done);
        end({std::nullopt, QStringLiteral("LibreOffice не закончил за %1 с.").arg(seconds)});
    });
}

PdfConverter::~PdfConverter() {
    done_ = nullptr;
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

void PdfConverter::start(const QString& document, const QString& folder, Done done, int timeoutMs) {
    done_ = std::move(done);
    document_ = document;
    folder_ = folder;
    QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty()) {
        office = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
    }
    if (office.isEmpty()) {
        end({std::nullopt, QStringLiteral("LibreOffice не установлен (нет программы soffice).")});
        return;
    }
    work_ = std::make_unique<QTemporaryDir>();
    if (!work_->isValid()) {
        end({std::nullopt, QStringLiteral("Не удалось создать временную папку для LibreOffice.")});
        return;
    }
    const QString profile = work_->filePath(QStringLiteral("profile"));
    const QString out = work_->filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    limit_.start(timeoutMs);
    process_.start(
        office, {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(),
                 QStringLiteral("--headless"), QStringLiteral("--norestore"),
                 QStringLiteral("--convert-to"), QStringLiteral("pdf"), QStringLiteral("--outdir"),
                 out, document});
}

void PdfConverter::finished() {
    if (!running()) {
        return;
    }
    const QString name = QFileInfo(document_).completeBaseName() + QStringLiteral(".pdf");
    const QString made = QDir(work_->filePath(QStringLiteral("out"))).filePath(name);
    if (process_.exitStatus() != QProcess::NormalExit || process_.exitCode() != 0 ||
        !QFileInfo(made).size()) {
        end({std::nullopt, QStringLiteral("LibreOffice не создал PDF: %1")
                               .arg(QString::fromLocal8Bit(process_.readAll()).trimmed())});
        return;
    }
    const QString target = QDir(folder_).filePath(name);
    // The temporary folder may lie on another file system: the bytes are written anew beside
    // the target, by the writer every other file goes through.
    QFile pdf(made);
    const QByteArray bytes = pdf.open(QIODevice::ReadOnly) ? pdf.readAll() : QByteArray();
    std::string error;
    if (bytes.isEmpty() ||
        !writeFileWhole(QDir::toNativeSeparators(target).toStdString(),
                        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                        error)) {
        end({std::nullopt, error.empty() ? QStringLiteral("Не удалось записать %1").arg(target)
                                         : QString::fromStdString(error)});
        return;
    }
    end({target, QString()});
}

void PdfConverter::end(PdfConversion result) {
    limit_.stop();
    work_.reset();
    Done done = std::move(done_);
    done_ = nullptr;
    if (done) {
        done(result);
    }
}

PdfConversion convertToPdf(const QString& document, const QString& folder, int timeoutMs) {
    PdfConverter converter;
    return waitUntilEnded<PdfConversion>(
        [&](auto done) { converter.start(document, folder, std::move(done), timeoutMs); });
}

} // namespace torl7
