// Files for other programs, from what the window shows: "Сохранить CSV…" beside the event
// grid writes the grid's events for a spreadsheet. The file formats live below the window
// (documents/), where torl7-cli writes the same files.
#pragma once

#include <QDate>
#include <QObject>
#include <QString>

#include <functional>
#include <string>

namespace torl7 {

class MainWindow;

class Exports : public QObject {
    Q_OBJECT
public:
    // Connects the export buttons.
    explicit Exports(MainWindow& window);

    // The grid's events as CSV (semicolons, UTF-8 with a byte-order mark).
    void btn_save_csvClick();

    // Where to save, offering `defaultName` and a filter; an empty answer cancels. The program
    // shows the save dialog; tests answer themselves.
    std::function<QString(const QString& defaultName, const QString& filter)> askSaveName;
    std::function<QDate()> today = [] { return QDate::currentDate(); };

private:
    // Writes the whole file or nothing; a failure is one error box naming the file.
    bool save(const QString& path, const std::string& bytes);
    QString defaultName(const QString& suffix) const;

    MainWindow& window_;
};

} // namespace torl7
