#include "gui/dialogs/sweep_dialog.hpp"

#include "gui/widgets/accessibility.hpp"
#include "gui/widgets/control_factory.hpp"
#include "protocol/frame.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace torl7 {

SweepDialog::SweepDialog(QWidget* parent, const QStringList& ports, int speedIndex)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("SweepDialog"));
    setWindowTitle(QStringLiteral("Найти устройства на линии"));
    cmb_sweep_port = makeDropDown(this, QStringLiteral("cmb_sweep_port"), ports, -1);
    cmb_sweep_port->setEditable(true);
    cmb_sweep_port->setInsertPolicy(QComboBox::NoInsert);
    cmb_sweep_port->setMinimumContentsLength(24);
    cmb_sweep_port->setEditText(ports.isEmpty() ? QString() : ports.front());
    cb_sweep_speed = makeSpeedDropDown(this, QStringLiteral("cb_sweep_speed"), speedIndex);
    frm_sweep_from = makeSpinEdit(this, QStringLiteral("frm_sweep_from"), kMinFactoryNumber,
                                  kMaxFactoryNumber, 600);
    frm_sweep_to = makeSpinEdit(this, QStringLiteral("frm_sweep_to"), kMinFactoryNumber,
                                kMaxFactoryNumber, 631);

    auto* fields = new QGridLayout;
    int row = 0;
    const auto add = [&](const QString& caption, QWidget* control) {
        fields->addWidget(makeCaption(caption, control), row, 0);
        fields->addWidget(control, row++, 1);
    };
    add(QStringLiteral("Порт линии:"), cmb_sweep_port);
    add(QStringLiteral("Скорость линии, бод/сек:"), cb_sweep_speed);
    add(QStringLiteral("Зав. № от:"), frm_sweep_from);
    add(QStringLiteral("до:"), frm_sweep_to);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("sweep_dialog_buttons"));
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Найти"));
    connect(buttons, &QDialogButtonBox::accepted, this, &SweepDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SweepDialog::reject);
    // A range given backwards is swept as the same range.
    connect(this, &QDialog::accepted, this, [this] {
        if (frm_sweep_from->value() > frm_sweep_to->value()) {
            const int from = frm_sweep_to->value();
            frm_sweep_to->setValue(frm_sweep_from->value());
            frm_sweep_from->setValue(from);
        }
    });

    auto* column = new QVBoxLayout(this);
    column->setSizeConstraint(QLayout::SetFixedSize);
    column->addLayout(fields);
    column->addWidget(buttons);
    orderTabsByLayout(this);
}

SweepRequest SweepDialog::request() const {
    return {cmb_sweep_port->currentText().trimmed(), cb_sweep_speed->currentIndex(),
            frm_sweep_from->value(), frm_sweep_to->value()};
}

} // namespace torl7
