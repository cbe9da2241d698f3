#include "gui/dialogs/unit_dialog.hpp"

#include "gui/message_boxes.hpp"
#include "gui/widgets/accessibility.hpp"
#include "gui/widgets/control_factory.hpp"
#include "protocol/config_fields.hpp"
#include "protocol/frame.hpp"
#include "protocol/line_speed.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace torl7 {

namespace {

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

std::string utf8(const QLineEdit* edit) {
    return edit->text().trimmed().toStdString();
}

} // namespace

UnitDialog::UnitDialog(QWidget* parent, const Substation& substation, int editing,
                       const QStringList& ports, MessageBoxes& boxes)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      result_(substation), editing_(editing), boxes_(boxes) {
    setObjectName(QStringLiteral("UnitDialog"));
    setWindowTitle(editing ? QStringLiteral("Изменить устройство")
                           : QStringLiteral("Добавить устройство"));

    const SubstationUnit* unit = substation.unit(editing);
    int number = 600;
    while (!unit && substation.unit(number) && number < kMaxFactoryNumber) {
        ++number; // a new unit starts at the first number the file does not have
    }
    frm_unit_number = makeSpinEdit(this, QStringLiteral("frm_unit_number"), kMinFactoryNumber,
                                   kMaxFactoryNumber, unit ? unit->number : number);
    ed_switchgear = makeTextEdit(this, QStringLiteral("ed_switchgear"),
                                 unit ? text(unit->switchgear) : QString());
    ed_bay = makeTextEdit(this, QStringLiteral("ed_bay"), unit ? text(unit->bay) : QString());
    ed_motor = makeTextEdit(this, QStringLiteral("ed_motor"), unit ? text(unit->motor) : QString());

    cmb_unit_line = makeDropDown(this, QStringLiteral("cmb_unit_line"), {}, -1);
    cmb_unit_line->setEditable(true);
    cmb_unit_line->setInsertPolicy(QComboBox::NoInsert);
    QStringList portItems;
    for (const SubstationLine& line : substation.lines) {
        cmb_unit_line->addItem(text(line.id));
        portItems << text(line.port);
    }
    for (const QString& port : ports) {
        if (!portItems.contains(port)) {
            portItems << port;
        }
    }
    cmb_line_port = makeDropDown(this, QStringLiteral("cmb_line_port"), portItems, -1);
    cmb_line_port->setEditable(true);
    cmb_line_port->setInsertPolicy(QComboBox::NoInsert);
    cmb_line_port->setMinimumContentsLength(24);
    QStringList speeds;
    for (const std::string_view speed : fields::kSpeeds) {
        speeds << QString::fromUtf8(speed.data(), static_cast<qsizetype>(speed.size()));
    }
    cb_line_speed = makeDropDown(this, QStringLiteral("cb_line_speed"), speeds, kSpeedCount - 1);

    const QString firstLine =
        substation.lines.empty() ? QStringLiteral("bus1") : text(substation.lines.front().id);
    cmb_unit_line->setEditText(unit ? text(unit->line) : firstLine);
    if (substation.lines.empty()) {
        cmb_line_port->setEditText(ports.isEmpty() ? QString() : ports.front());
    }
    showLine(cmb_unit_line->currentText());
    connect(cmb_unit_line, &QComboBox::currentTextChanged, this, &UnitDialog::showLine);

    auto* fields = new QGridLayout;
    int row = 0;
    const auto add = [&](const QString& caption, QWidget* control) {
        fields->addWidget(makeCaption(caption, control), row, 0);
        fields->addWidget(control, row++, 1);
    };
    add(QStringLiteral("Зав. №:"), frm_unit_number);
    add(QStringLiteral("Распредустройство:"), ed_switchgear);
    add(QStringLiteral("Присоединение:"), ed_bay);
    add(QStringLiteral("Двигатель:"), ed_motor);
    add(QStringLiteral("Линия:"), cmb_unit_line);
    add(QStringLiteral("Порт линии:"), cmb_line_port);
    add(QStringLiteral("Скорость линии, бод/сек:"), cb_line_speed);
    auto* shared =
        new QLabel(QStringLiteral("Порт и скорость линии общие для всех её устройств."), this);
    shared->setTextFormat(Qt::PlainText);
    fields->addWidget(shared, row, 0, 1, 2);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("unit_dialog_buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &UnitDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &UnitDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->setSizeConstraint(QLayout::SetFixedSize);
    column->addLayout(fields);
    column->addWidget(buttons);
    orderTabsByLayout(this);
}

void UnitDialog::showLine(const QString& id) {
    if (const SubstationLine* line = result_.line(id.trimmed().toStdString())) {
        cmb_line_port->setEditText(text(line->port));
        cb_line_speed->setCurrentIndex(indexForBaud(line->baud));
    }
}

void UnitDialog::accept() {
    SubstationUnit unit;
    if (const SubstationUnit* old = result_.unit(editing_)) {
        unit = *old; // what the dialog does not show (the commissioned settings) stays
    }
    unit.number = frm_unit_number->value();
    unit.switchgear = utf8(ed_switchgear);
    unit.bay = utf8(ed_bay);
    unit.motor = utf8(ed_motor);
    const SubstationLine line{cmb_unit_line->currentText().trimmed().toStdString(),
                              cmb_line_port->currentText().trimmed().toStdString(),
                              baudForIndex(cb_line_speed->currentIndex())};
    Substation changed = result_;
    if (const std::string fault = placeUnit(changed, unit, line, editing_); !fault.empty()) {
        boxes_.error(QString::fromStdString(fault), kCaptionTool, this);
        return;
    }
    result_ = std::move(changed);
    QDialog::accept();
}

} // namespace torl7
