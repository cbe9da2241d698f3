// "Устройство подстанции": one unit of the substation file (its factory number and the names
// people use for it) and the line it is on (the line's name, port and speed, which every unit
// on that line shares). OK takes the change only when it makes a valid file; otherwise a box
// says why and the dialog stays open.
#pragma once

#include "documents/substation_file.hpp"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QSpinBox;

namespace torl7 {

class MessageBoxes;

class UnitDialog : public QDialog {
    Q_OBJECT
public:
    // Edits the unit numbered `editing` of `substation`, or adds one when 0. `ports` are
    // offered for the line's port besides those of the file's lines.
    UnitDialog(QWidget* parent, const Substation& substation, int editing, const QStringList& ports,
               MessageBoxes& boxes);

    // The substation with the change made; valid once the dialog was accepted.
    const Substation& result() const { return result_; }

    void accept() override;

    QSpinBox* frm_unit_number = nullptr;
    QLineEdit* ed_switchgear = nullptr;
    QLineEdit* ed_bay = nullptr;
    QLineEdit* ed_motor = nullptr;
    QComboBox* cmb_unit_line = nullptr;
    QComboBox* cmb_line_port = nullptr;
    QComboBox* cb_line_speed = nullptr;

private:
    // A line of the file chosen by its name shows its port and speed.
    void showLine(const QString& id);

    Substation result_;
    int editing_;
    MessageBoxes& boxes_;
};

} // namespace torl7
