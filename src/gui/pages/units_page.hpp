// The "Подстанция" page: the units of the substation file opened (their names, line, when each
// last answered, its firmware and how its last collection ended), the buttons that open, save
// and edit the file, and "Собрать всё". Its controller is SubstationUnits.
#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace torl7 {

class UnitsPage : public QWidget {
    Q_OBJECT
public:
    enum Column { Number, Names, Line, LastSeen, Firmware, Result, ColumnCount };
    static const QStringList kColumns;

    explicit UnitsPage(QWidget* parent = nullptr);

    QLabel* st_substation_file = nullptr; // the file's path, or that none is open
    QLineEdit* ed_substation_name = nullptr;
    // One row per unit, in the file's order.
    QTableWidget* tbl_units = nullptr;
    // What the last collection left of the unit chosen: its folder, or why it failed.
    QLabel* st_unit_detail = nullptr;

    QPushButton* btn_units_open = nullptr;
    QPushButton* btn_units_save = nullptr;
    QPushButton* btn_unit_add = nullptr;
    QPushButton* btn_unit_edit = nullptr;
    QPushButton* btn_unit_remove = nullptr;
    QPushButton* btn_collect_all = nullptr;

private:
    QLayout* buildFileRow();
    QWidget* buildTable();
    QLayout* buildButtons();
};

} // namespace torl7
