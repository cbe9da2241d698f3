#include "gui/widgets/control_factory.hpp"

#include "gui/widgets/accessibility.hpp"
#include "protocol/config_fields.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>

#include <algorithm>

namespace torl7 {

QSpinBox* makeSpinEdit(QWidget* parent, const QString& name, int minimum, int maximum, int value) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    return spin;
}

QComboBox* makeDropDown(QWidget* parent, const QString& name, const QStringList& items, int index) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(false);
    combo->addItems(items);
    combo->setCurrentIndex(index);
    return combo;
}

QComboBox* makeSpeedDropDown(QWidget* parent, const QString& name, int index) {
    const ListItems& items = configField("rs485", "speed_baud").items;
    QStringList speeds;
    for (std::size_t i = 0; i < items.size(); ++i) {
        speeds << QString::fromUtf8(items[i].data(), static_cast<qsizetype>(items[i].size()));
    }
    return makeDropDown(parent, name, speeds, index);
}

QLineEdit* makeTextEdit(QWidget* parent, const QString& name, const QString& text, int maxLength) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    edit->setText(text);
    return edit;
}

QLabel* makeStaticText(QWidget* parent, const QString& name, const QString& text,
                       const QString& widest) {
    installAccessibleInterfaces();
    auto* label = new ValueText(text, parent);
    label->setObjectName(name);
    label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    label->setTextFormat(Qt::PlainText);
    const int margins = 2 * label->frameWidth() + 2 * label->margin() + 12;
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(widest) + margins);
    label->setMinimumHeight(label->fontMetrics().height() + 8);
    return label;
}

QCheckBox* makeCheckBox(QWidget* parent, const QString& name, const QString& caption,
                        bool checked) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setChecked(checked);
    return box;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    pressOnEnter(button);
    return button;
}

QProgressBar* makeProgressBar(QWidget* parent, const QString& name, int minimum, int maximum) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setRange(minimum, maximum);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

void fitWidthTo(QWidget* control, const QString& widest) {
    constexpr int kFrameAndMargins = 14;
    control->setFixedWidth(control->fontMetrics().horizontalAdvance(widest) + kFrameAndMargins);
}

QLabel* makeCaption(const QString& text, QWidget* control) {
    auto* label = new QLabel(text, control->parentWidget());
    label->setTextFormat(Qt::PlainText);
    label->setBuddy(control);
    addCaptionToName(control, text);
    return label;
}

void setUpEventGrid(QTableView* grid, const QStringList& widest) {
    grid->verticalHeader()->setVisible(false);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setAlternatingRowColors(true);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    const QFontMetrics& cellFont = grid->fontMetrics();
    const QFontMetrics headerFont = grid->horizontalHeader()->fontMetrics();
    constexpr int kPadding = 14;
    for (int column = 0; column < widest.size(); ++column) {
        const QString title =
            grid->model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        const int width = std::max(cellFont.horizontalAdvance(widest[column]),
                                   headerFont.horizontalAdvance(title));
        grid->setColumnWidth(column, width + kPadding);
    }
    grid->horizontalHeader()->setStretchLastSection(true);
}

} // namespace torl7
