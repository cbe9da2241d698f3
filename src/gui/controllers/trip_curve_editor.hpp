// The behaviour of the time-current dialog: "График ВТЗ" opens it with the overload settings
// of the configuration page and draws the trip curve; every trip time tried in the dialog is
// written back into the page's `z_vtz_t` and redrawn. No request goes to the unit.
#pragma once

#include <QObject>

namespace torl7 {

class MainWindow;
class TccDialog;

class TripCurveEditor : public QObject {
    Q_OBJECT
public:
    explicit TripCurveEditor(MainWindow& window);

    // "График ВТЗ": copies the rated current and the trip time in, draws, shows the dialog
    // modally.
    void Button9Click();
    // The dialog's trip time changed (typed or stepped).
    void g_vtz_tChange();

private:
    // Replaces the curve with the one for the setting `tripTimeS`.
    void draw(double tripTimeS);

    MainWindow& window_;
    TccDialog& dialog_;
};

} // namespace torl7
