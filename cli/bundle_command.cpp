// torl7-cli bundle DIR: everything an engineer leaves a unit with, in one folder named by the
// factory number and the date: the report, the settings file, the events as CSV, the
// accounting record as JSON, the waveforms as COMTRADE and, when LibreOffice is installed, a
// PDF of the report. Each file is written whole or not at all.
#include "cli.hpp"

#include "session/pdf_conversion.hpp"

#include <QDir>

namespace torl7 {

int Cli::bundle(QCommandLineParser& parser) {
    const QString parent = onlyArgument(parser, "folder");
    const double rate = sampleRate(parser, "bundle's waveforms");
    reportTemplate(); // before the unit is asked anything
    openPort();

    SettingsProvenance origin;
    origin.unit = unit_;
    if (const auto version = tryExchange(kind::Version, {})) {
        origin.firmware = trimmedRight(decodeVersionText(version->payload()));
    }
    const ReportChainData chained = readReportChain();
    origin.readAt = QDateTime::currentDateTime().toString(Qt::ISODate).toStdString();
    origin.toolVersion = std::string(toolVersion());
    openPort(); // the chain closes the port when it ends, as the window's does
    WaveformExport waves = readWaveforms(kMaxViewIndex);
    waves.station = trimmedRight(unitTextFrom16(chained.record.installation));
    waves.deviceId = std::to_string(unit_);
    waves.sampleRate = rate;

    const QDate today = QDate::currentDate();
    const QString folder = QDir(parent).filePath(
        QStringLiteral("ТОРЛ_№%1_%2").arg(unit_).arg(today.toString(Qt::ISODate)));
    if (!QDir().mkpath(folder)) {
        throw Failure{exitcode::Invalid, "cannot make the folder " + folder.toStdString()};
    }
    const std::string base = QDir(folder)
                                 .filePath(QString::fromStdString(reportBaseName(
                                     unit_, today.year(), today.month(), today.day())))
                                 .toStdString();
    const auto written = [this](const std::string& path) {
        out_ << QFileInfo(QString::fromStdString(path)).fileName().toStdString() << '\n';
    };
    const auto write = [&](const std::string& path, const std::string& bytes) {
        writeOutput(QString::fromStdString(path), bytes);
        written(path);
    };

    const std::string report = base + ".docx";
    writeReport(chained, report);
    written(report);
    write(base + "_настройки.json", writeSettingsFile(asPageHolds(chained.record), origin));
    write(base + "_события.csv",
          eventsCsv(std::vector<EventRow>(chained.events.begin(), chained.events.end())));
    write(base + "_учет.json", accountingJson(chained.accounting));
    const ComtradeFiles comtrade = comtradeFiles(waves);
    write(base + "_осциллограммы.cfg", comtrade.cfg);
    write(base + "_осциллограммы.dat", comtrade.dat);

    const PdfConversion pdf = convertToPdf(QString::fromStdString(report), folder);
    if (pdf.pdf) {
        written(pdf.pdf->toStdString());
    } else {
        write(base + "_PDF_не_создан.txt",
              "PDF отчёта не создан: " + pdf.whyNot.toStdString() +
                  "\nОткройте файл .docx в Word или LibreOffice и сохраните его как PDF.\n");
    }
    return exitcode::Done;
}

} // namespace torl7
