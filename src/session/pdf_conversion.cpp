#include "session/pdf_conversion.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace torl7 {

PdfConversion convertToPdf(const QString& document, const QString& folder, int timeoutMs) {
    PdfConversion result;
    QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty()) {
        office = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
    }
    if (office.isEmpty()) {
        result.whyNot = QStringLiteral("LibreOffice не установлен (нет программы soffice).");
        return result;
    }
    QTemporaryDir work;
    if (!work.isValid()) {
        result.whyNot = QStringLiteral("Не удалось создать временную папку для LibreOffice.");
        return result;
    }
    const QString profile = work.filePath(QStringLiteral("profile"));
    const QString out = work.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(
        office, {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(),
                 QStringLiteral("--headless"), QStringLiteral("--norestore"),
                 QStringLiteral("--convert-to"), QStringLiteral("pdf"), QStringLiteral("--outdir"),
                 out, document});
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        result.whyNot = QStringLiteral("LibreOffice не закончил за %1 с.").arg(timeoutMs / 1000);
        return result;
    }
    const QString name = QFileInfo(document).completeBaseName() + QStringLiteral(".pdf");
    const QString made = QDir(out).filePath(name);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 ||
        !QFileInfo(made).size()) {
        result.whyNot = QStringLiteral("LibreOffice не создал PDF: %1")
                            .arg(QString::fromLocal8Bit(process.readAll()).trimmed());
        return result;
    }
    const QString target = QDir(folder).filePath(name);
    QFile::remove(target);
    // Same file system is not guaranteed (the temporary folder): copy to a hidden name in the
    // target folder first, then rename.
    const QString hidden =
        QDir(folder).filePath(QStringLiteral(".") + name + QStringLiteral(".tmp"));
    QFile::remove(hidden);
    if (!QFile::copy(made, hidden) || !QFile::rename(hidden, target)) {
        QFile::remove(hidden);
        result.whyNot = QStringLiteral("Не удалось записать %1").arg(target);
        return result;
    }
    result.pdf = target;
    return result;
}

} // namespace torl7
