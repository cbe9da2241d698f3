// The live poll of the "Диагностика" page: shows what the diagnostics poll (DiagPoll) reports
// on the indicators, texts and chart. The caption of `diagnos` is the run flag: anything that
// sets it back to "Диагностика" ends the poll at the next watchdog tick, and an answer that
// arrives after that is shown but asks for nothing more.
#pragma once

#include "session/operations/diag_poll.hpp"

#include <QObject>

namespace torl7 {

class DiagPage;
class UnitSession;
class MainWindow;

class Diagnostics : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxMisses = DiagPoll::kMaxMisses;

    // Connects `diagnos`, the view list and the poll's watchdog.
    explicit Diagnostics(MainWindow& window);

    DiagPoll& operation() { return poll_; }
    // The poll's watchdog: the answer timeout of the line speed.
    QTimer* Timer2 = nullptr;

    void diagnosClick();
    void Timer2Timer();

    int missCount() const { return poll_.missCount(); }
    const WaveformSamples& samples() const { return poll_.samples(); }

private:
    bool running() const;
    // The caption was set back: the answer just shown asks for nothing more.
    void followRunFlag();
    void freezeLiveTexts();
    void showSnapshot(const Snapshot& snapshot);
    // The clock panel (rcal, rstop, tavto) shows the unit's settings from each snapshot, but
    // a control the user has changed, or is in, keeps what the user gave it until the poll
    // starts again (sending the correction stops the poll).
    void showClockSettings(const Snapshot& snapshot);
    void releaseClockPanel() { clockEdits_ = {}; }
    void watchClockPanel();
    void pollFailed(const SessionError& error);

    MainWindow& window_;
    DiagPage& page_;
    UnitSession& session_;
    DiagPoll poll_;
    bool liveTextsFrozen_ = false;
    struct ClockEdits {
        bool calibration = false;
        bool stopped = false;
        bool autoDst = false;
    } clockEdits_;
    bool showingUnitClock_ = false;
};

} // namespace torl7
