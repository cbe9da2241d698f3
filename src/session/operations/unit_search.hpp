// The device search: pings one factory number at each line speed of the tool, slowest first,
// kPingsPerSpeed times a speed, each tick of the pacing timer waiting the ping wait of its
// speed, and ends at the tick after the first ping the unit answers with a payload, leaving
// the line at that speed with the port open. When every speed was tried it ends, not found,
// with the line at the fastest one, the port still open. A pulled-out adapter ends it with
// LineLost. Progress: the pings sent, of kSpeedCount × kPingsPerSpeed.
#pragma once

#include "session/operations/operation.hpp"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <optional>

namespace torl7 {

struct SearchResult {
    bool found = false;
    int speedIndex = 0; // where the line was left
};

class UnitSearch : public QObject, public Operation<SearchResult> {
    Q_OBJECT
public:
    enum class Step { Idle, Pinging, AllSpeedsTried, Found };

    // Paced by `pacer`, whose ticks its owner hands to tick() (the search dialog's timer), or
    // by a timer of its own when none is given.
    explicit UnitSearch(UnitSession& session, QTimer* pacer = nullptr, QObject* parent = nullptr);

    // Starts at the slowest speed. `pingWaitOverrideMs` replaces the wait of every speed (the
    // headless client's --timeout-ms).
    void start(std::uint16_t factoryNumber, std::optional<int> pingWaitOverrideMs = {});
    // The number typed while the search runs goes into the next ping.
    void setFactoryNumber(std::uint16_t factoryNumber) { factoryNumber_ = factoryNumber; }
    // One step: the next ping (at the next speed after kPingsPerSpeed), or the end.
    void tick();

    Step step() const { return step_; }
    int speedIndex() const { return speedIndex_; }
    // Pings sent at the current speed.
    int retry() const { return retry_; }
    // How long the ping of this tick waits for its answer (the pacing timer's period).
    int pingWait() const { return pacer_->interval(); }

signals:
    // The line was moved to the speed `speedIndex`.
    void speedTried(int speedIndex);
    // A tick was taken: its ping went out, or the search ends right after this.
    void stepTaken(int speedIndex, int retry);

private:
    void cancelParts() override;
    void moveTo(int speedIndex);
    void pingAnswered(const Answer& answer);

    QTimer* const pacer_;
    Step step_ = Step::Idle;
    std::uint16_t factoryNumber_ = 0;
    int speedIndex_ = 0;
    int retry_ = 0;
    int pings_ = 0;
    std::optional<int> pingWaitOverrideMs_;
};

} // namespace torl7
