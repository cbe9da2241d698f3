// The live diagnostics poll. One diagnostics request is in flight while it runs: every answer
// is reported and followed at once by the next request (a snapshot, then the waveform blocks
// the view asks for, then a drawing), so the values refresh as fast as the line allows.
//
// In the window a watchdog paces the repetitions: its first period is 300 ms, every later one
// the answer timeout of the line speed. A period with no request sent and no answer verified
// is a miss: the request is repeated (on a port opened again if the idle close shut it), and
// the fifth miss in a row ends the poll with a timeout. The headless client instead gives
// each request the response timeout, and the first one left unanswered ends the poll.
//
// A poll answer that arrives while another command holds the line (a protection reset pressed
// while polling) is still reported, but asks for nothing: that command's answer is still to
// come, and the watchdog repeats the poll's request later.
#pragma once

#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/frame.hpp"
#include "protocol/waveform_samples.hpp"
#include "session/unit_session.hpp"

#include <QObject>
#include <QTimer>

#include <array>

namespace torl7 {

class DiagPoll : public QObject {
    Q_OBJECT
public:
    // Consecutive unanswered watchdog periods after which the poll gives up.
    static constexpr int kMaxMisses = 5;

    enum class Pace {
        Watchdog,        // the window: repetitions, five misses
        ResponseTimeout, // the headless client: the first unanswered request ends it
    };
    // What the request in flight asks for.
    enum class Step { Idle, Snapshot, Waveform };

    explicit DiagPoll(UnitSession& session, QObject* parent = nullptr);

    // The watchdog. Its period is kept from one run to the next until the next miss.
    QTimer* const Timer2;

    // Starts the poll on the port the caller opened, asking for `firstSelector`, then on
    // through the blocks of the first `viewIndex` phases after every snapshot.
    void start(int viewIndex, Pace pace = Pace::Watchdog,
               std::uint8_t firstSelector = kSnapshotSelector);
    // The view list changed: the next snapshot is followed by the blocks it asks for.
    void setView(int viewIndex) { view_ = viewIndex; }
    // Ends the poll without a word. Answers still under way are reported; none asks for more.
    void stop();
    void Timer2Timer();

    bool running() const { return running_; }
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
    // The poll ended: five misses, or an unanswered request, or a port that would not reopen.
    void failed(const SessionError& error);

private:
    void answerReceived(const Frame& frame, bool pollOutstanding);
    void blockArrived(std::uint8_t selector, ByteSpan payload, bool pollOutstanding);
    void next(std::uint8_t selector);
    void send();
    void fail(const SessionError& error);

    UnitSession& session_;
    Pace pace_ = Pace::Watchdog;
    Step step_ = Step::Idle;
    bool running_ = false;
    // Cleared by every request sent and every frame verified; set by a watchdog tick.
    bool armed_ = false;
    int misses_ = 0;
    int view_ = 0;
    std::uint8_t selector_ = kSnapshotSelector;
    // Whether the last request went out on an open port. A repetition that then finds the
    // port closed (by the idle close, at slow speeds) opens it again first.
    bool lastSentOnOpenPort_ = false;
    WaveformSamples samples_;
    std::array<std::uint8_t, kPhases> blockSelectors_{};
    int blockCount_ = 0;
};

} // namespace torl7
