// The live diagnostics poll. One diagnostics request is in flight while it runs: every answer
// is reported and followed at once by the next request (a snapshot, then the waveform blocks
// the view asks for, then a drawing), so the values refresh as fast as the line allows.
//
// In the window a watchdog paces the repetitions: its first period is the answer timeout of
// the line speed, and so is every later one. A period with no request sent and no answer
// verified is a miss: the request is repeated, and the fifth miss in a row ends the poll with a
// timeout. The headless client instead gives each request the answer timeout; an unanswered
// request is a miss and is asked again, and the run of misses its owner allows ends the poll.
//
// A poll answer that arrives while another command holds the line (a protection reset pressed
// while polling), or after the poll was stopped, is still reported, but asks for nothing: that
// command's answer is still to come, and the watchdog repeats the poll's request later.
//
// The poll ends done only when its owner stops it; it never closes the port by itself (a stop
// may ask it to), and after a failure the idle close releases the port.
#pragma once

#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/frame.hpp"
#include "protocol/waveform_samples.hpp"
#include "session/operations/operation.hpp"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <array>

namespace torl7 {

struct PollSummary {
    int snapshots = 0; // snapshots reported
    int misses = 0;    // requests left unanswered (each asked again or the last)
};

class DiagPoll : public QObject, public Operation<PollSummary> {
    Q_OBJECT
public:
    // Consecutive misses after which the window's poll gives up.
    static constexpr int kMaxMisses = 5;

    enum class Pace {
        Watchdog,      // the window: repetitions paced by the watchdog
        AnswerTimeout, // the headless client: every request with the answer timeout
    };
    // What the request in flight asks for.
    enum class Step { Idle, Snapshot, Waveform };

    explicit DiagPoll(UnitSession& session, QObject* parent = nullptr);

    // Starts the poll, asking for `firstSelector`, then on through the blocks of the first
    // `viewIndex` phases after every snapshot. It ends with a timeout after `maxMisses` misses
    // in a row.
    void start(int viewIndex, Pace pace = Pace::Watchdog,
               std::uint8_t firstSelector = kSnapshotSelector, int maxMisses = kMaxMisses);
    // The view list changed: the next snapshot is followed by the blocks it asks for.
    void setView(int viewIndex) { view_ = viewIndex; }
    // Ends the poll, done. Answers still under way are reported; none asks for more.
    void stop(PortAtEnd port = PortAtEnd::KeepOpen);
    // The watchdog's tick (tests step it without waiting).
    void watchdogTick();
    // The watchdog's period while it runs, nothing when off.
    std::optional<int> watchdogArmed() const;

    Step step() const { return step_; }
    int missCount() const { return misses_; }
    // The selector of the next request (or of its repetition).
    std::uint8_t nextSelector() const { return selector_; }
    // The blocks of the sequence under way (or just drawn), in the order received.
    const WaveformSamples& samples() const { return samples_; }
    const std::array<std::uint8_t, kPhases>& blockSelectors() const { return blockSelectors_; }
    int blockCount() const { return blockCount_; }

signals:
    void snapshotReceived(const Snapshot& snapshot);
    // A waveform block that does not complete its sequence.
    void blockReceived(std::uint8_t selector);
    // The sequence is complete: the samples to draw. Cleared after this returns.
    void waveformsReady(const WaveformSamples& samples);

private:
    void answerReceived(const Frame& frame, bool pollOutstanding);
    void blockArrived(std::uint8_t selector, ByteSpan payload, bool pollOutstanding);
    void next(std::uint8_t selector);
    void send();
    // A request went unanswered: asked again, or the end of the poll.
    void missed();
    void failWith(const SessionError& error);

    QTimer* const watchdog_;
    Pace pace_ = Pace::Watchdog;
    Step step_ = Step::Idle;
    int maxMisses_ = kMaxMisses;
    // Cleared by every request sent and every frame verified; set by a watchdog tick.
    bool armed_ = false;
    int misses_ = 0;
    int view_ = 0;
    std::uint8_t selector_ = kSnapshotSelector;
    PollSummary summary_;
    WaveformSamples samples_;
    std::array<std::uint8_t, kPhases> blockSelectors_{};
    int blockCount_ = 0;
};

} // namespace torl7
