// "Сохранить протокол": the report chain (configuration, accounting record, event protocol,
// each read fresh from the unit) and the report document made from the template.
#pragma once

#include "documents/report_content.hpp"

#include <QDate>
#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>

namespace torl7 {

class MainWindow;

class ReportWriter : public QObject {
    Q_OBJECT
public:
    explicit ReportWriter(MainWindow& window);

    void btn_save_protClick();
    // Writes the document from what the pages show; the chain calls it with the port closed.
    void prot_save();

    // What the report holds, read from the controls of the pages at this moment.
    ReportData collectReportData() const;

    // Asks where to save, offering `defaultName`; an empty answer cancels. The program shows
    // the save dialog; tests answer themselves.
    std::function<QString(const QString& defaultName)> askFileName;
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    // Where the template is looked for (beside the program, or installed).
    std::filesystem::path programDir;

private:
    MainWindow& window_;
};

} // namespace torl7
