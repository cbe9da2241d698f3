// The main window: the pages in their tabs, the serial link they share, the two dialogs,
// and the shell's own handlers (tab change, "Поиск устройства", the connection bar).
#pragma once

#include "gui/subsystems.hpp"
#include "session/port_probe.hpp"
#include "session/unit_session.hpp"

#include <QMainWindow>

#include <functional>
#include <memory>

class QTabWidget;

namespace torl7 {

class ConfigPage;
class DiagPage;
class ProtocolPage;
class SearchDialog;
class TccDialog;
class UnitsPage;
class TrafficDialog;
class TrafficLog;
class MessageBoxes;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `line` and `boxes` are the real serial port and message boxes in the program, fakes in
    // tests; `ports` fills both port lists (nothing found: the user is told).
    MainWindow(SerialLine& line, MessageBoxes& boxes, const QList<PortEntry>& ports,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    QTabWidget* PageControl1;
    ConfigPage* TabSheet1;   // "Конфигурация"
    DiagPage* TabSheet2;     // "Диагностика"
    ProtocolPage* TabSheet3; // "Протокол"
    UnitsPage* TabSheet4;    // "Подстанция": the units of a substation file

    UnitSession& session() { return *session_; }
    SearchDialog* searchDialog() const { return searchDialog_; }
    TccDialog* tccDialog() const { return tccDialog_; }
    // Every frame of the session, and the "Обмен" window that shows them.
    TrafficLog& trafficLog() { return *trafficLog_; }
    TrafficDialog* trafficDialog() const { return trafficDialog_; }
    MessageBoxes& boxes() { return boxes_; }
    // The controllers of the pages and dialogs.
    const Subsystems& subsystems() const { return subsystems_; }

    // Stops a running poll; an answer still under way is shown but asks for nothing more.
    void stopPolling();

    void PageControl1Change();
    void Button6Click();
    void btn_trafficClick();
    void frm1_znChange();
    void cmbPortsChange();
    void cb_speedChange();
    void FormClose();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void followControls();
    void fillPortLists(const QList<PortEntry>& ports);
    void followTraffic();

    MessageBoxes& boxes_;
    std::unique_ptr<UnitSession> session_;
    SearchDialog* searchDialog_ = nullptr; // "Поиск устройства"
    TccDialog* tccDialog_ = nullptr;       // the time-current characteristic
    TrafficLog* trafficLog_ = nullptr;
    TrafficDialog* trafficDialog_ = nullptr; // "Обмен"
    Subsystems subsystems_;
};

inline const QString kTitle = QStringLiteral("Диагностика и программирование ТОРЛ-7      v16.9");

} // namespace torl7
