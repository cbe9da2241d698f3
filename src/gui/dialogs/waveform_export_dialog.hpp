// The small dialog of "Сохранить осциллограммы…" and "Сохранить всё…": the sample rate, which
// the unit does not say, and the file format. "Сохранить" stays disabled until the rate is a number
// above 0.
#pragma once

#include "documents/waveform_export.hpp"

#include <QDialog>

#include <optional>

class QComboBox;
class QDialogButtonBox;
class QLineEdit;

namespace torl7 {

enum class WaveformFormat { Comtrade, Csv };

struct WaveformExportChoice {
    double sampleRate = 0;
    WaveformFormat format = WaveformFormat::Comtrade;
    ComtradeFormat comtrade = ComtradeFormat::Ascii1999;
};

class WaveformExportDialog : public QDialog {
    Q_OBJECT
public:
    // Without the format for the service bundle, whose waveforms are always COMTRADE.
    explicit WaveformExportDialog(QWidget* parent = nullptr, bool askFormat = true);

    // The rate and format as they stand; nothing while the rate is not a number above 0.
    std::optional<WaveformExportChoice> choice() const;

    QLineEdit* ed_rate = nullptr;
    QComboBox* cb_format = nullptr;
    QDialogButtonBox* buttons = nullptr;

private:
    void followRate();
};

} // namespace torl7
