// What a screen reader and a keyboard user get from the controls: every control a name in
// Russian that says what it is, read-only value texts that keep their value apart from their
// name, Enter on a focused button, and a tab order that follows the layout. The control
// builders (control_factory, StepButtons, IndicatorShape) and the page builders call these;
// nothing names a control one by one elsewhere.
#pragma once

#include <QString>

class QAbstractButton;
class QWidget;

namespace torl7 {

// A caption as it is spoken: without the closing colon and the blanks around it
// ("Ua, В:" -> "Ua, В").
QString spokenCaption(const QString& caption);

// Adds one caption of `control` to its accessible name: the first caption names it, each
// further one (the unit, mostly) follows after a comma ("Tb" + "мСек" -> "Tb, мСек"). A
// button or check box with a caption of its own takes a further caption as the second line
// of that caption ("Заклинивание" + "ротора" -> "Заклинивание ротора").
void addCaptionToName(QWidget* control, const QString& caption);

// What a control is called: its accessible name, or for a ValueText the captions kept
// beside it. Set it through setSpokenName so that a ValueText keeps announcing its changes.
QString spokenName(const QWidget* control);
void setSpokenName(QWidget* control, const QString& name);

// Screen readers get a ValueText as its spoken name with the text it shows ("Ua, В: 220"),
// announced anew with every new text, and the text alone as its value; an IndicatorShape as
// an indicator. Installed once, by the first control that needs it.
void installAccessibleInterfaces();

// Enter and Return on the focused button press it, as Space does; a dialog's default button
// is left alone.
void pressOnEnter(QAbstractButton* button);

// Sets the tab order of the focusable controls under `root` to the reading order of its
// layouts: box layouts in their order, grids row by row, a group box's controls in place of
// the group box. Call it once the page's layouts are built.
void orderTabsByLayout(QWidget* root);

} // namespace torl7
