// A unit's bundle folder exists only whole: a new folder is written under a name of its own and
// renamed at the end, a failure leaves nothing, and what a run cut short left is cleared.
#include "records/service_bundle.hpp"

#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace torl7;

TEST(BundleFolder, aNewFolderAppearsOnlyWhole) {
    const QDate day(2026, 12, 9);
    const QString name = QStringLiteral("ТОРЛ_№600_2026-12-09");
    const struct {
        const char* scenario;
        std::string reportTemplate;
        bool leftOver; // a run cut short left "<name>.part" behind
        QStringList entries;
    } rows[] = {
        {"the report cannot be made", "/nonexistent/prot-torl.docx", false, {}},
        {"a cut-short run before", TORL7_REPORT_TEMPLATE, true, {name}},
    };
    for (const auto& row : rows) {
        QTemporaryDir parent;
        if (row.leftOver) {
            QDir(parent.path()).mkpath(name + ".part");
            QFile stray(QDir(parent.path()).filePath(name + ".part/123.tmp"));
            ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
        }
        ServiceBundle bundle;
        bundle.pdfTimeoutMs = 1; // LibreOffice or not: a PDF or its note, quickly
        QEventLoop loop;
        BundleEnded ended;
        bundle.start(parent.path(),
                     bundleOfReading(600, std::nullopt, ReportChainData{},
                                     QDateTime(day, QTime(10, 0)), row.reportTemplate),
                     nullptr, [&](const BundleEnded& e) {
                         ended = e;
                         loop.quit();
                     });
        if (bundle.running()) {
            loop.exec();
        }
        EXPECT_EQ(ended.error.isEmpty(), !row.entries.isEmpty()) << row.scenario;
        EXPECT_EQ(QDir(parent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  row.entries)
            << row.scenario;
        if (!row.entries.isEmpty()) {
            EXPECT_EQ(QDir(ended.folder).entryList(QDir::Files).size(), 6) << row.scenario;
        }
    }
}
