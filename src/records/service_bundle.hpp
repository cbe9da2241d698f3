// The service bundle: everything an engineer leaves a unit with, in one folder named by the
// factory number and the date: the report, the settings file, the events as CSV, the
// accounting record as JSON, the waveforms as COMTRADE and, when LibreOffice is installed, a
// PDF of the report. The window's "Сохранить всё…" and `torl7-cli bundle` gather the contents
// their own way (the pages, or reads of their own) and write them here, in one order.
//
// The files replace those of an earlier run as a set: each is written whole beside its name,
// and only when all of them were written are they put in place; the first file that cannot be
// written ends the bundle with a message naming it and leaves the earlier files as they were.
// A file of an earlier run that this one did not write again is removed. A folder that did not
// exist is written as "<name>.part" and renamed when the bundle is whole; a failure removes it.
// Where a file cannot be made (no waveforms drawn, no LibreOffice), a short note in its place says
// why. Files are written one per turn of the event loop and the PDF by a process of its own, so a
// progress bar moves and the window goes on meanwhile.
#pragma once

#include "documents/file_output.hpp"
#include "documents/report_content.hpp"
#include "documents/waveform_export.hpp"
#include "records/pdf_conversion.hpp"
#include "session/operations/report_chain.hpp"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>

namespace torl7 {

struct BundleContents {
    int factoryNumber = 0;
    QDate date;
    std::string reportTemplate; // the template's path, UTF-8
    ReportData report;          // its events are the events file's too
    std::string settingsFile;
    std::string accountingJson;
    // With the rate the user gave; nothing when no waveforms were drawn.
    std::optional<WaveformExport> waveforms;
};

// "ТОРЛ_№600_2026-12-09".
QString bundleFolderName(int factoryNumber, const QDate& date);

// The bundle of a unit read fresh: its report, its settings file (naming the firmware when the
// unit gave it), its events and accounting record; no waveforms (a note stands in their place
// unless the caller adds them).
BundleContents bundleOfReading(int factoryNumber, const std::optional<std::string>& firmware,
                               const ReportChainData& chained, const QDateTime& readAt,
                               const std::string& reportTemplate);

struct BundleEnded {
    QString folder;
    QStringList files; // the names written, in order
    // Empty when every file was written; otherwise the message naming the file that was not.
    QString error;
};

class ServiceBundle : public QObject {
    Q_OBJECT
public:
    // Report, settings, events, accounting, waveforms, PDF.
    static constexpr int kSteps = 6;
    // After each step: how many are done, and the file it wrote.
    using Written = std::function<void(int stepsDone, const QString& file)>;
    using Done = std::function<void(const BundleEnded&)>;

    explicit ServiceBundle(QObject* parent = nullptr);

    // Into `parentFolder`/bundleFolderName(...), which is made when missing.
    void start(const QString& parentFolder, BundleContents contents, Written written, Done done);
    bool running() const { return static_cast<bool>(done_); }

    int pdfTimeoutMs = 120000;

private:
    void next();
    // Writes one step's files; false with error_ set when one cannot be written.
    bool writeStep(int step);
    bool stage(const QString& name, std::string_view bytes);
    void wrote(const QString& name);
    void pdfEnded(const PdfConversion& pdf);
    void removeStale();
    void end();
    QString path(const QString& suffix) const;

    PdfConverter pdf_;
    FileSetWriter files_;
    BundleContents contents_;
    BundleEnded ended_;
    QString work_; // where the files are written: the folder, or beside it while it is new
    bool fresh_ = false;
    QString base_;
    int step_ = 0;
    Written written_;
    Done done_;
};

} // namespace torl7
