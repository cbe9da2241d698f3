// The analysis beside the waveform chart of "Диагностика": per phase the RMS values (in V and
// A, and in sample steps), the angle of the current against its voltage and cos φ (the unit's
// own cos f under it), THD and harmonics 2 to 7; the symmetrical components, the unbalance and
// the phase order; the phasor diagram with its reference channel.
#pragma once

#include "protocol/waveform_analysis.hpp"

#include <QGroupBox>

#include <optional>

class QComboBox;
class QLabel;
class QTableWidget;
class QTabWidget;

namespace torl7 {

class PhasorDiagram;

class AnalysisPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit AnalysisPanel(QWidget* parent = nullptr);

    // Fills the tables and the diagram; `unitCosF` is the unit's cos f of the same moment.
    void showAnalysis(const WaveformAnalysis& analysis, std::optional<double> unitCosF);
    // Empties every value (a dash), with `why` in place of the period.
    void clearValues(const QString& why = QString());

    QTabWidget* tabs = nullptr;
    QTableWidget* tbl_phases = nullptr; // rows by quantity, columns A, B, C; last the unit's cos f
    QTableWidget* tbl_harmonics = nullptr; // rows Ua .. Ic, columns 2..7 and THD
    QTableWidget* tbl_sequence = nullptr;  // rows U, I; columns 1, 2, 0, unbalance
    QLabel* st_order = nullptr;
    QLabel* st_period = nullptr;
    QComboBox* cmb_phasor_ref = nullptr;
    PhasorDiagram* phasors = nullptr;
};

// A value with the decimal comma and `decimals` places; a dash for nothing.
QString analysisNumber(std::optional<double> value, int decimals);

// A table only to read, every cell a dash, as high as its rows: it neither scrolls nor takes
// the focus.
QTableWidget* makeValueTable(QWidget* parent, const char* name, const QString& accessibleName,
                             const QStringList& rows, const QStringList& columns);

} // namespace torl7
