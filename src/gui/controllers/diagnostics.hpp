// The live poll of the "Диагностика" page: shows what the diagnostics poll (DiagPoll) reports
// on the indicators, texts and chart. Its run state decides the caption of `diagnos`
// ("Диагностика" stopped, "Остановить" running); stop() ends the poll from anywhere, and an
// answer that arrives after that is shown but asks for nothing more.
#pragma once

#include "session/operations/diag_poll.hpp"

#include <QObject>

namespace torl7 {

// The captions of `diagnos`: stopped, running.
inline const QString kDiagnosStopped = QStringLiteral("Диагностика");
inline const QString kDiagnosRunning = QStringLiteral("Остановить");

class DiagPage;
class UnitSession;
class MainWindow;

class Diagnostics : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxMisses = DiagPoll::kMaxMisses;
    enum class State { Stopped, Running };

    // Connects `diagnos` and the view list.
    explicit Diagnostics(MainWindow& window);

    DiagPoll& operation() { return poll_; }

    // Starts or stops the poll.
    void diagnosClick();
    // The poll's watchdog tick (its period is the answer timeout of the line speed).
    void Timer2Timer() { poll_.watchdogTick(); }
    // Stops the poll without closing the port (another action takes the line, or the speed
    // changes); nothing when it is not running.
    void stop();

    State state() const { return state_; }
    int missCount() const { return poll_.missCount(); }
    const WaveformSamples& samples() const { return poll_.samples(); }

private:
    void setState(State state);
    void start();
    void freezeLiveTexts();
    void showSnapshot(const Snapshot& snapshot);
    // The clock panel (rcal, rstop, tavto) shows the unit's settings from each snapshot, but
    // a control the user has changed, or is in, keeps what the user gave it until the poll
    // starts again (sending the correction stops the poll).
    void showClockSettings(const Snapshot& snapshot);
    void releaseClockPanel() { clockEdits_ = {}; }
    void watchClockPanel();
    void pollEnded(const Outcome<PollSummary>& outcome);

    MainWindow& window_;
    DiagPage& page_;
    UnitSession& session_;
    DiagPoll poll_;
    State state_ = State::Stopped;
    bool liveTextsFrozen_ = false;
    struct ClockEdits {
        bool calibration = false;
        bool stopped = false;
        bool autoDst = false;
    } clockEdits_;
    bool showingUnitClock_ = false;
};

} // namespace torl7
