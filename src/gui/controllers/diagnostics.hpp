// The live poll of the "Диагностика" page. One diagnostics request is in flight while the
// poll runs: every answer is shown and followed at once by the next request (a snapshot, then
// the waveform blocks the view list asks for, then a drawing), so the page refreshes as fast
// as the line allows. The caption of `diagnos` is the run flag: anything that sets it back to
// "Диагностика" ends the poll at the next watchdog tick.
#pragma once

#include "gui/widgets/waveform_chart.hpp"
#include "protocol/frame.hpp"

#include <QObject>

class QTimer;

namespace torl7 {

class DiagPage;
class UnitSession;
class MainWindow;
struct Snapshot;

class Diagnostics : public QObject {
    Q_OBJECT
public:
    // Consecutive unanswered watchdog periods after which the poll gives up.
    static constexpr int kMaxMisses = 5;

    // Connects `diagnos` and the watchdog, and takes every answer with code 1 (selector 4,
    // the calibration sample, is taken by calibration when it registers for it).
    explicit Diagnostics(MainWindow& window);

    // The watchdog: 300 ms until the first miss, then the answer timeout of the line speed.
    QTimer* const Timer2;

    void diagnosClick();
    void Timer2Timer();

    int missCount() const { return misses_; }
    const WaveformSamples& samples() const { return samples_; }

private:
    bool running() const;
    void freezeLiveTexts();
    void answerReceived(const Frame& frame);
    void showSnapshot(const Snapshot& snapshot);
    void blockReceived(std::uint8_t selector, ByteSpan payload, bool pollOutstanding);
    // Leaves the selector for the next request and sends it while the poll runs.
    void next(std::uint8_t selector);
    void send();

    MainWindow& window_;
    DiagPage& page_;
    UnitSession& session_;
    int misses_ = 0;
    WaveformSamples samples_;
    // Whether the poll's last request went out on an open port. A repetition that then finds
    // the port closed (by the idle close, at slow speeds) opens it again first.
    bool lastSentOnOpenPort_ = false;
    bool liveTextsFrozen_ = false;
};

} // namespace torl7
