// "Найти на линии": the line to sweep (its port and speed) and the range of factory numbers to
// ping. The units that answer are added to the substation on the line with that port.
#pragma once

#include <QDialog>

class QComboBox;
class QSpinBox;

namespace torl7 {

struct SweepRequest {
    QString port;
    int speedIndex = 0;
    int from = 0;
    int to = 0;
};

class SweepDialog : public QDialog {
    Q_OBJECT
public:
    // `ports` are offered, the first chosen; `speedIndex` is the speed shown first.
    SweepDialog(QWidget* parent, const QStringList& ports, int speedIndex);

    SweepRequest request() const;

    QComboBox* cmb_sweep_port = nullptr;
    QComboBox* cb_sweep_speed = nullptr;
    QSpinBox* frm_sweep_from = nullptr;
    QSpinBox* frm_sweep_to = nullptr;
};

} // namespace torl7
