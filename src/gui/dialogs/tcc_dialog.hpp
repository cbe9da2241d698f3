// The time-current characteristic dialog: the overload trip curve that a trip time setting
// implies, trip time on a logarithmic axis against the overload multiple. This class holds
// the dialog's controls and the empty chart; TripCurveEditor draws the curve.
#pragma once

#include "gui/widgets/lenient_spin_box.hpp"

#include <QDialog>

class QChartView;
class QLineEdit;
class QLineSeries;
class QLogValueAxis;
class QValueAxis;

namespace torl7 {

class TccDialog : public QDialog {
    Q_OBJECT
public:
    explicit TccDialog(QWidget* parent = nullptr);

    QLineEdit* g_inom_a = nullptr;
    // Trip time in seconds; a value typed outside 1..999 is drawn as typed.
    LenientSpinBox* g_vtz_t = nullptr;
    QChartView* Chart1 = nullptr;
    QLineSeries* Series1 = nullptr;
    // Trip time in seconds, logarithmic; its range is set with every curve.
    QLogValueAxis* timeAxis = nullptr;
    // Overload multiple, current over rated current.
    QValueAxis* multipleAxis = nullptr;
};

} // namespace torl7
