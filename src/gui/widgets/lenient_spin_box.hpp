// A number field that lets the user type any non-negative integer, also one outside its
// limits, and reports every change of its text. The two dialogs act on the text as it is
// being typed (a factory number of 50, a trip time of 1000) before the field corrects it to
// its limits when it is left.
#pragma once

#include <QSpinBox>

#include <optional>

namespace torl7 {

class LenientSpinBox : public QSpinBox {
    Q_OBJECT
public:
    explicit LenientSpinBox(QWidget* parent = nullptr);

    // The integer the text holds, not clamped; nothing when the text is not an integer (an
    // empty field, for example).
    std::optional<int> typedInteger() const;
    // The same, with the minimum standing for a text that is not an integer.
    int typedValue() const { return typedInteger().value_or(minimum()); }

    QValidator::State validate(QString& text, int& pos) const override;
    // A number outside the limits becomes the nearest limit, any other text the minimum.
    void fixup(QString& text) const override;

signals:
    // The shown text changed, by typing, by the arrows or by setValue(); reported once for
    // each new text.
    void shownTextChanged(const QString& text);

protected:
    int valueFromText(const QString& text) const override;

private:
    void valueTextChanged(const QString& text);
    void editorTextChanged(const QString& text);

    // The text just reported for a new value, while the editor's own signal for that same
    // change is still on its way.
    std::optional<QString> reportedForValue_;
};

// Builds one with its objectName, limits and initial value, like the plain spin edits.
LenientSpinBox* makeLenientSpinEdit(QWidget* parent, const QString& name, int minimum, int maximum,
                                    int value);

} // namespace torl7
