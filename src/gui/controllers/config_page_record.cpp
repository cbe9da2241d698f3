// The configuration record and the page's controls, field by field as the field table lists
// them: the record the controls hold, a received record shown in them, and the values the
// report's settings table takes from them.
#include "gui/controllers/configuration.hpp"

#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"
#include "protocol/config_fields.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace torl7 {

namespace {

QString text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// The control of `field`, of the class its kind of control is.
template <class Control> Control* controlOf(const ConfigPage& page, const ConfigField& field) {
    auto* control = qobject_cast<Control*>(page.fieldControl(field.controlName));
    Q_ASSERT_X(control, "controlOf", field.controlName.data());
    return control;
}

QString outOfRange(const QString& field, const QString& value, const QString& lowest,
                   const QString& highest) {
    return QStringLiteral("%1: значение %2 не помещается в запись конфигурации (допустимо от %3 "
                          "до %4). Запись отменена.")
        .arg(field, value, lowest, highest);
}

// The value a spin edit stands for: its minimum while its text is not an integer.
int spinValue(const QSpinBox* spin) {
    return spin->hasAcceptableInput() ? spin->value() : spin->minimum();
}

// The item index to send; an index kept from the unit when nothing is selected; and as a
// last resort "no selection", which the record's field takes in its own width.
std::int64_t listIndex(const QComboBox* list) {
    if (list->currentIndex() >= 0) {
        return list->currentIndex();
    }
    const QVariant kept = list->property(kUnlistedIndex);
    return kept.isValid() ? kept.toInt() : -1;
}

// A received value is shown whole: the edit's length limit is meant for typing, and a cut
// text would be written back as another value.
void showWhole(QLineEdit* edit, const QString& value) {
    if (value.size() > edit->maxLength()) {
        edit->setMaxLength(static_cast<int>(value.size()));
    }
    edit->setText(value);
}

void showListIndex(QComboBox* list, std::int64_t index) {
    const QSignalBlocker quiet(list);
    if (index < list->count()) {
        list->setCurrentIndex(static_cast<int>(index));
        list->setProperty(kUnlistedIndex, QVariant());
    } else {
        list->setCurrentIndex(-1);
        list->setProperty(kUnlistedIndex, static_cast<int>(index));
    }
}

// A typed number: a text that does not convert has the general conversion box, a value
// outside the field's limits an error box that names the field.
std::optional<std::int64_t> typedSteps(const ConfigField& f, const QString& typed,
                                       MessageBoxes& boxes) {
    const bool tenths = f.decimals == 1;
    const auto value =
        tenths ? parseTenths(typed.toStdString()) : parseInteger(typed.toStdString());
    if (!value) {
        boxes.conversionError(tenths ? notANumberText(typed) : notAnIntegerText(typed));
        return std::nullopt;
    }
    if (*value < f.min || *value > f.max) {
        const auto shown = [tenths](std::int64_t v) {
            return tenths ? text(formatTenths(v)) : QString::number(v);
        };
        boxes.error(
            outOfRange(text(std::string(f.caption)), shown(*value), shown(f.min), shown(f.max)),
            kCaptionTool);
        return std::nullopt;
    }
    return value;
}

// Puts one field into the record; false, after telling the user, when it does not convert
// or fit.
bool readField(const ConfigPage& page, const ConfigField& f, MessageBoxes& boxes, ConfigRecord& r) {
    std::optional<std::int64_t> steps;
    switch (f.control) {
    case PageControl::SpinEdit:
        steps = spinValue(controlOf<QSpinBox>(page, f));
        break;
    case PageControl::DelayText:
        steps = typedSteps(f, controlOf<QLabel>(page, f)->text(), boxes);
        break;
    case PageControl::CurrentEdit:
    case PageControl::CoefficientEdit:
        steps = typedSteps(f, controlOf<QLineEdit>(page, f)->text(), boxes);
        break;
    case PageControl::CheckBox:
        f.access.set(r, controlOf<QCheckBox>(page, f)->isChecked() ? 1 : 0);
        return true;
    case PageControl::DropDown:
        f.access.set(r, listIndex(controlOf<QComboBox>(page, f)));
        return true;
    case PageControl::TextEdit:
        r.*f.text = unitText16(controlOf<QLineEdit>(page, f)->text().toStdString());
        return true;
    }
    if (steps) {
        // The record's field keeps the low bits of what does not fit its width.
        setSteps(f, r, *steps);
    }
    return steps.has_value();
}

} // namespace

std::optional<ConfigRecord> recordFromPage(const ConfigPage& page, MessageBoxes& boxes) {
    ConfigRecord r;
    for (const ConfigField& f : kConfigFields) {
        if (!readField(page, f, boxes, r)) {
            return std::nullopt;
        }
    }
    return r;
}

void applyRecordToPage(const ConfigRecord& r, ConfigPage& page) {
    for (const ConfigField& f : kConfigFields) {
        switch (f.control) {
        case PageControl::SpinEdit:
            // The spin edit holds the value to its limits.
            controlOf<QSpinBox>(page, f)->setValue(static_cast<int>(stepsOf(f, r)));
            break;
        case PageControl::DelayText:
            controlOf<QLabel>(page, f)->setText(text(shownText(f, r)));
            break;
        case PageControl::CurrentEdit:
        case PageControl::CoefficientEdit:
        case PageControl::TextEdit:
            showWhole(controlOf<QLineEdit>(page, f), text(shownText(f, r)));
            break;
        case PageControl::CheckBox:
            controlOf<QCheckBox>(page, f)->setChecked(f.access.get(r) != 0);
            break;
        case PageControl::DropDown:
            // Setting the index is no user choice: the speed change reacts to the user only.
            showListIndex(controlOf<QComboBox>(page, f), shownIndex(f, r));
            break;
        }
    }
}

std::array<std::string, kSettingsRows> settingsValuesOnPage(const ConfigPage& page) {
    std::array<std::string, kSettingsRows> values;
    for (const ConfigField& f : kConfigFields) {
        if (f.reportRow == kNoReportRow) {
            continue;
        }
        QString shown;
        switch (f.control) {
        case PageControl::SpinEdit:
            shown = QString::number(controlOf<QSpinBox>(page, f)->value());
            break;
        case PageControl::DelayText:
            shown = controlOf<QLabel>(page, f)->text();
            break;
        case PageControl::CurrentEdit:
        case PageControl::CoefficientEdit:
        case PageControl::TextEdit:
            shown = controlOf<QLineEdit>(page, f)->text();
            break;
        case PageControl::CheckBox:
            shown = text(std::string(controlOf<QCheckBox>(page, f)->isChecked() ? kCheckedText
                                                                                : kUncheckedText));
            break;
        case PageControl::DropDown:
            shown = controlOf<QComboBox>(page, f)->currentText();
            break;
        }
        values[static_cast<std::size_t>(f.reportRow)] = shown.toStdString();
    }
    return values;
}

} // namespace torl7
