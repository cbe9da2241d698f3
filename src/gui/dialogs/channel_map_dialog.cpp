#include "gui/dialogs/channel_map_dialog.hpp"

#include "gui/widgets/accessibility.hpp"
#include "gui/widgets/control_factory.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace torl7 {

ChannelMapDialog::ChannelMapDialog(const ComtradeRecord& record, const ChannelMap& guess,
                                   QWidget* parent)
    : QDialog(parent) {
    setObjectName("ChannelMapDialog");
    setWindowTitle(QStringLiteral("Каналы осциллограммы"));
    QStringList items{QStringLiteral("нет")};
    for (const ComtradeAnalog& c : record.analogs) {
        items << QStringLiteral("%1: %2 (%3, %4)")
                     .arg(c.index)
                     .arg(QString::fromStdString(c.id), QString::fromStdString(c.phase),
                          QString::fromStdString(c.unit));
    }
    auto* note = new QLabel(QStringLiteral("Осциллограмма записана другим устройством: укажите, "
                                           "какие каналы - напряжения и токи фаз."),
                            this);
    note->setWordWrap(true);
    auto* form = new QFormLayout;
    for (std::size_t r = 0; r < roles.size(); ++r) {
        const QString role = kRoleNames[r];
        roles[r] = makeDropDown(this, "cmb_map_" + role, items,
                                guess[r] ? static_cast<int>(*guess[r]) + 1 : 0);
        form->addRow(makeCaption(role + ":", roles[r]), roles[r]);
        connect(roles[r], &QComboBox::currentIndexChanged, this, &ChannelMapDialog::followChoice);
    }
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    orderTabsByLayout(this);
    followChoice();
}

ChannelMap ChannelMapDialog::map() const {
    ChannelMap map;
    for (std::size_t r = 0; r < roles.size(); ++r) {
        if (const int index = roles[r]->currentIndex(); index > 0) {
            map[r] = static_cast<std::size_t>(index - 1);
        }
    }
    return map;
}

void ChannelMapDialog::followChoice() {
    buttons->button(QDialogButtonBox::Ok)->setEnabled(mapsAPhase(map()));
}

} // namespace torl7
