// A PDF of a document by LibreOffice, when it is installed: `soffice --headless --convert-to
// pdf` with a profile of its own (a running LibreOffice of the user cannot block it) and a
// time limit. LibreOffice runs as a process of its own, so the window goes on while it works.
// The PDF is made in a temporary folder and renamed into place, so the target folder never
// holds half of one.
#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QTemporaryDir;

namespace torl7 {

struct PdfConversion {
    // The PDF's path when it was made.
    std::optional<QString> pdf;
    // Why there is none: LibreOffice is not installed, did not finish in time, or failed.
    QString whyNot;
};

class PdfConverter : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const PdfConversion&)>;

    explicit PdfConverter(QObject* parent = nullptr);
    ~PdfConverter() override;

    // Converts `document` into `folder`/<its base name>.pdf; `done` runs once, from the event
    // loop or at once when LibreOffice cannot be started.
    void start(const QString& document, const QString& folder, Done done, int timeoutMs = 120000);
    bool running() const { return static_cast<bool>(done_); }

private:
    void finished();
    void end(PdfConversion result);

    QProcess process_;
    QTimer limit_;
    std::unique_ptr<QTemporaryDir> work_;
    QString document_;
    QString folder_;
    Done done_;
};

// The same, waiting in a local event loop: for the headless client.
PdfConversion convertToPdf(const QString& document, const QString& folder, int timeoutMs = 120000);

} // namespace torl7
