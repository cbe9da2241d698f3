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

// Screen readers get a ValueText's accessible name (its caption and unit) as the name and
// the text shown as the value, so neither hides the other, and an IndicatorShape as an
// indicator. Installed once, by the first control that needs it.
void installAccessibleInterfaces();

// Enter and Return on the focused button press it, as Space does; a dialog's default button
// is left alone.
void pressOnEnter(QAbstractButton* button);

// Sets the tab order of the focusable controls under `root` to the reading order of its
// layouts: box layouts in their order, grids row by row, a group box's controls in place of
// the group box. Call it once the page's layouts are built.
void orderTabsByLayout(QWidget* root);

} // namespace torl7
