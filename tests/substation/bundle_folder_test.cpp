// A unit's bundle folder exists only whole: a new one is written under a name of its own and
// renamed at the end; a failure leaves nothing, and what a run cut short left is cleared.
#include "records/service_bundle.hpp"

#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace torl7;

TEST(BundleFolder, aNewFolderAppearsOnlyWhole) {
    const QString name = QStringLiteral("ТОРЛ_№600_2026-12-09");
    const struct {
        std::string reportTemplate;
        QStringList entries; // after the run; before it, a cut-short run left "<name>.part"
    } rows[] = {{"/nonexistent/prot-torl.docx", {}}, {TORL7_REPORT_TEMPLATE, {name}}};
    for (const auto& row : rows) {
        QTemporaryDir parent;
        QDir(parent.path()).mkpath(name + ".part/stray");
        ServiceBundle bundle;
        bundle.pdfTimeoutMs = 1; // the PDF or its note, at once
        QEventLoop loop;
        BundleEnded ended;
        bundle.start(parent.path(),
                     bundleOfReading(600, std::nullopt, {}, QDateTime(QDate(2026, 12, 9), {}),
                                     row.reportTemplate),
                     nullptr, [&](const BundleEnded& e) {
                         ended = e;
                         loop.quit();
                     });
        if (bundle.running()) {
            loop.exec();
        }
        EXPECT_EQ(QDir(parent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  row.entries);
        EXPECT_EQ(QDir(ended.folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(),
                  ended.error.isEmpty() ? 6 : 0)
            << ended.error.toStdString();
    }
}
