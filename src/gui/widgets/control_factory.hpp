// Builders for the plain controls of the main window and the two dialogs. Each control gets
// its objectName (the name handlers and tests find it by) and its initial state before it is
// returned, so no change signal can reach a handler connected later.
#pragma once

#include <QLabel>
#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;
class QWidget;

namespace torl7 {

// Integer edit with arrows; the range is set before the value so the value is not clamped
// by the default 0..99 range.
QSpinBox* makeSpinEdit(QWidget* parent, const QString& name, int minimum, int maximum, int value);

// Read-only list. Items keep their leading blanks: code elsewhere compares item texts.
QComboBox* makeDropDown(QWidget* parent, const QString& name, const QStringList& items, int index);

// The line speeds a unit can be set to, in baud and without the blanks that align them on the
// configuration page; the item index is the unit's speed code.
QComboBox* makeSpeedDropDown(QWidget* parent, const QString& name, int index);

// One-line edit; maxLength 0 leaves the length open.
QLineEdit* makeTextEdit(QWidget* parent, const QString& name, const QString& text,
                        int maxLength = 0);

// A read-only text that shows a value. Its accessible name says what the value is (its
// captions); screen readers get the text shown as its value.
class ValueText final : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
};

// Read-only text in a sunken frame, wide enough for `widest` so that values written later
// do not make the layout jump.
QLabel* makeStaticText(QWidget* parent, const QString& name, const QString& text,
                       const QString& widest);

QCheckBox* makeCheckBox(QWidget* parent, const QString& name, const QString& caption, bool checked);
// A push button that Enter presses when it has the focus, as Space does.
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption);

// Progress bar at position 0, its text hidden (the bar alone shows the progress).
QProgressBar* makeProgressBar(QWidget* parent, const QString& name, int minimum, int maximum);

// Fixes the width of a text edit or static text to hold `widest` plus its frame, so that
// short value fields stay short in a stretching layout.
void fitWidthTo(QWidget* control, const QString& widest);

// A read-only grid of events: no row headers, rows selected whole, and each column as wide as
// its widest text in `widest` or its title, so that no column is measured against its rows
// (thousands of them in the archive's timeline). Set the model or the titles first.
void setUpEventGrid(QTableView* grid, const QStringList& widest);

// A caption or unit text that belongs to `control`: the label's buddy is the control, so
// keyboard focus follows it and the captions of a control can be found, and the caption is
// added to the control's accessible name (addCaptionToName: "Tb:" then "мСек" name the
// field "Tb, мСек"). A field whose only caption is its unit is named first by its builder.
QLabel* makeCaption(const QString& text, QWidget* control);

} // namespace torl7
