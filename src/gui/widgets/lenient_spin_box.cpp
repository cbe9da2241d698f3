#include "gui/widgets/lenient_spin_box.hpp"

#include <QLineEdit>

#include <algorithm>

namespace torl7 {

namespace {

// Nine digits always fit an int; a longer text is refused as it is typed.
constexpr qsizetype kMaxDigits = 9;

std::optional<int> digitsValue(const QString& text) {
    if (text.isEmpty() || text.size() > kMaxDigits) {
        return std::nullopt;
    }
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
    }
    return text.toInt();
}

} // namespace

LenientSpinBox::LenientSpinBox(QWidget* parent) : QSpinBox(parent) {
    // A new value set by setValue() or the arrows is announced by the spin box alone (it
    // writes its editor with the editor's signals blocked). Typed text reaches the editor's
    // signal, and when it is a new value within the limits the spin box announces it first,
    // from inside that same signal.
    connect(this, &QSpinBox::textChanged, this, &LenientSpinBox::valueTextChanged);
    connect(lineEdit(), &QLineEdit::textChanged, this, &LenientSpinBox::editorTextChanged);
}

std::optional<int> LenientSpinBox::typedInteger() const {
    return digitsValue(cleanText());
}

QValidator::State LenientSpinBox::validate(QString& text, int& /*pos*/) const {
    const QString digits = text.trimmed();
    if (digits.isEmpty()) {
        return QValidator::Intermediate;
    }
    const auto value = digitsValue(digits);
    if (!value) {
        return QValidator::Invalid;
    }
    return *value >= minimum() && *value <= maximum() ? QValidator::Acceptable
                                                      : QValidator::Intermediate;
}

void LenientSpinBox::fixup(QString& text) const {
    // Used when the field is left with a text that is not a value within the limits.
    const int typed = digitsValue(text.trimmed()).value_or(minimum());
    text = textFromValue(std::clamp(typed, minimum(), maximum()));
}

int LenientSpinBox::valueFromText(const QString& text) const {
    // Unclamped: the spin box bounds it to the nearest limit itself.
    return digitsValue(text.trimmed()).value_or(minimum());
}

void LenientSpinBox::valueTextChanged(const QString& text) {
    reportedForValue_ = text;
    emit shownTextChanged(text);
}

void LenientSpinBox::editorTextChanged(const QString& text) {
    const bool alreadyReported = reportedForValue_ == text;
    reportedForValue_.reset();
    if (!alreadyReported) {
        emit shownTextChanged(text);
    }
}

LenientSpinBox* makeLenientSpinEdit(QWidget* parent, const QString& name, int minimum, int maximum,
                                    int value) {
    auto* spin = new LenientSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    return spin;
}

} // namespace torl7
