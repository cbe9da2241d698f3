// Files for other programs, from what the window shows: "Сохранить CSV…" beside the event
// grid writes the grid's events for a spreadsheet, "Сохранить осциллограммы…" beside the
// waveform chart the waveforms last drawn as COMTRADE or CSV. The file formats live below the
// window (documents/), where torl7-cli writes the same files.
#pragma once

#include "documents/waveform_export.hpp"
#include "gui/dialogs/waveform_export_dialog.hpp"

#include <QDate>
#include <QObject>
#include <QString>

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

namespace torl7 {

class DiagPoll;
class MainWindow;

class Exports : public QObject {
    Q_OBJECT
public:
    // Connects the export buttons; keeps each sequence the poll draws.
    Exports(MainWindow& window, const DiagPoll& poll);

    // The grid's events as CSV (semicolons, UTF-8 with a byte-order mark).
    void btn_save_csvClick();
    // The waveforms last drawn, at the rate and in the format the dialog asks for.
    void btn_save_wavesClick();
    // Asks where, offering `defaultName`, and writes `csv` there; false when the user cancels
    // or the file is not written (its box has said why).
    bool saveCsvAs(const QString& defaultName, const std::string& csv);

    // The waveforms of the last sequence drawn, as the files will hold them (no rate yet);
    // nothing before the first drawing.
    const std::optional<WaveformExport>& lastDrawn() const { return lastDrawn_; }

    // Where to save, offering `defaultName` and a filter; an empty answer cancels. The program
    // shows the save dialog; tests answer themselves.
    std::function<QString(const QString& defaultName, const QString& filter)> askSaveName;
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    // The export dialog; nothing when it is cancelled.
    std::function<std::optional<WaveformExportChoice>()> askWaveformExport;

private:
    // Writes the files whole and together, or none of them; a failure is one error box naming
    // the file and the system's reason.
    bool save(std::initializer_list<std::pair<QString, std::string>> files);
    QString defaultName(const QString& suffix) const;
    void keepDrawn(const WaveformSamples& samples);

    MainWindow& window_;
    const DiagPoll& poll_;
    std::optional<WaveformExport> lastDrawn_;
};

} // namespace torl7
