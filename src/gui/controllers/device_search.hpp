// The search dialog's controller: runs the device search (UnitSearch) with the number typed
// in the dialog and shows its progress, its status line and its end. Its run state decides the
// caption of `Button1`.
#pragma once

#include "session/operations/unit_search.hpp"

#include <QObject>

namespace torl7 {

class MainWindow;
class SearchDialog;

class DeviceSearch : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Searching };

    explicit DeviceSearch(MainWindow& window);

    // The dialog's factory number follows into the main window as it is typed, as soon as it
    // is a number within the limits...
    void frm2_znChange();
    // ...and when the field is left, brought within them.
    void frm2_znExit();
    // A port picked in the dialog: the port is closed and the main window picks it too.
    void cmbPortsChange();
    // "Начать поиск" starts a search, "Остановить поиск" stops it.
    void Button1Click();
    // One search step: the next ping, or the end of the search.
    void Timer1Timer();

    UnitSearch& operation() { return search_; }
    State state() const { return state_; }

private:
    void setState(State state);
    std::uint16_t typedFactoryNumber() const;
    void showStep(int retry);
    void finish(const Outcome<SearchResult>& outcome);

    MainWindow& window_;
    SearchDialog& dialog_;
    UnitSession& session_;
    UnitSearch search_;
    State state_ = State::Idle;
};

} // namespace torl7
