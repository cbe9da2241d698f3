// A PDF of a document by LibreOffice, when it is installed: `soffice --headless --convert-to
// pdf` with a profile of its own (a running LibreOffice of the user cannot block it) and a
// time limit. The PDF is made in a temporary folder and renamed into place, so the target
// folder never holds half of one.
#pragma once

#include <QString>

#include <optional>

namespace torl7 {

struct PdfConversion {
    // The PDF's path when it was made.
    std::optional<QString> pdf;
    // Why there is none: LibreOffice is not installed, did not finish in time, or failed.
    QString whyNot;
};

// Converts `document` into `folder`/<its base name>.pdf.
PdfConversion convertToPdf(const QString& document, const QString& folder, int timeoutMs = 120000);

} // namespace torl7
