#include "gui/dialogs/waveform_export_dialog.hpp"

#include "documents/waveform_export.hpp"
#include "gui/widgets/control_factory.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace torl7 {

WaveformExportDialog::WaveformExportDialog(QWidget* parent, bool askFormat) : QDialog(parent) {
    setObjectName(QStringLiteral("WaveformExportDialog"));
    setWindowTitle(askFormat ? QStringLiteral("Сохранить осциллограммы")
                             : QStringLiteral("Сохранить всё"));
    ed_rate = new QLineEdit(this);
    ed_rate->setObjectName(QStringLiteral("ed_rate"));
    ed_rate->setPlaceholderText(QStringLiteral("например, 2000"));
    cb_format = makeDropDown(this, "cb_format",
                             {"COMTRADE 1999 ASCII (.cfg + .dat)",
                              "COMTRADE 1999 BINARY (.cfg + .dat)", "COMTRADE 2013 (.cff)", "CSV"},
                             0);
    buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("Сохранить"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));

    auto* note = new QLabel(QStringLiteral("Устройство не сообщает частоту дискретизации: укажите "
                                           "её. Отсчёты сохраняются как получены (0..255)."),
                            this);
    note->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(makeCaption("Частота дискретизации, Гц:", ed_rate), ed_rate);
    if (askFormat) {
        form->addRow(makeCaption("Формат:", cb_format), cb_format);
    } else {
        cb_format->hide();
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(ed_rate, &QLineEdit::textChanged, this, &WaveformExportDialog::followRate);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    followRate();
}

std::optional<WaveformExportChoice> WaveformExportDialog::choice() const {
    const auto rate = parseSampleRate(ed_rate->text().toStdString());
    if (!rate) {
        return std::nullopt;
    }
    // The list's items in order: three COMTRADE forms, then CSV.
    static constexpr ComtradeFormat kComtrade[] = {
        ComtradeFormat::Ascii1999, ComtradeFormat::Binary1999, ComtradeFormat::Cff2013};
    const int index = cb_format->currentIndex();
    if (index == 3) {
        return WaveformExportChoice{*rate, WaveformFormat::Csv};
    }
    return WaveformExportChoice{*rate, WaveformFormat::Comtrade,
                                kComtrade[std::clamp(index, 0, 2)]};
}

void WaveformExportDialog::followRate() {
    buttons->button(QDialogButtonBox::Save)->setEnabled(choice().has_value());
}

} // namespace torl7
