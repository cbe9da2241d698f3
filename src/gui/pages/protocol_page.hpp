// The "Протокол" page: the unit's event protocol in a grid, its accounting record, and the
// buttons that read them, reset the accounting record and save the report.
#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace torl7 {

class ProtocolPage : public QWidget {
    Q_OBJECT
public:
    // Header of the event grid, one text per column. "Ia, A" .. "Ic, A" end in a Latin A,
    // "Iут, А" in a Cyrillic one; the report copies these texts.
    static const QStringList kEventColumns;
    // The widest text of each column.
    static const QStringList kWidestCells;

    explicit ProtocolPage(QWidget* parent = nullptr);

    // One row per event, oldest first; empty until the protocol is read.
    QTableWidget* StGr_prot = nullptr;

    // Accounting record
    QLabel* st_nuh = nullptr;
    QLabel* st_nwa = nullptr;
    QLabel* st_tdv = nullptr;
    QLabel* st_kvdv = nullptr;
    QLabel* st_kzdv = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* Button8 = nullptr;

    // Protocol reading and the report
    QProgressBar* pb_prot = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* btn_save_prot = nullptr;
    // The grid's events as a CSV file for spreadsheets.
    QPushButton* btn_save_csv = nullptr;
    // The service bundle: report, settings, events, accounting, waveforms, PDF in one folder.
    QPushButton* btn_save_all = nullptr;

private:
    QWidget* buildEventGrid();
    QWidget* buildAccounting();
    QWidget* buildProtocol();
};

} // namespace torl7
