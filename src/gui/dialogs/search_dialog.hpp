// The device search dialog: pings one factory number at every line speed, lowest first,
// until the unit answers. This class holds the dialog's controls and its step timer; the
// search itself is run by DeviceSearch.
#pragma once

#include "gui/widgets/lenient_spin_box.hpp"

#include <QDialog>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace torl7 {

class SearchDialog : public QDialog {
    Q_OBJECT
public:
    // Interval of the first search step; later steps follow the line speed.
    static constexpr int kFirstStepMs = 800;
    // Progress runs over two pings at each of the eleven speeds and jumps to the end when
    // the search stops.
    static constexpr int kProgressMax = 34;

    explicit SearchDialog(QWidget* parent = nullptr);

    // Mirrors the main window's factory number as it is typed.
    LenientSpinBox* frm2_zn = nullptr;
    QComboBox* cmbPorts = nullptr;
    QLabel* lser = nullptr;
    QProgressBar* pb_search = nullptr;
    QPushButton* Button1 = nullptr;
    // One search step per tick; not running until a search starts.
    QTimer* Timer1 = nullptr;
};

} // namespace torl7
