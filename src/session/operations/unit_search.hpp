// The device search: pings one factory number at each line speed of the tool, slowest first,
// kPingsPerSpeed times a speed, each tick of the pacing timer waiting the ping wait of its
// speed, and ends at the tick after the first ping the unit answers with a payload, leaving
// the line at that speed with the port open. When every speed was tried it ends with the line
// at the fastest one, the port still open.
#pragma once

#include "session/unit_session.hpp"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <optional>

namespace torl7 {

class UnitSearch : public QObject {
    Q_OBJECT
public:
    // LineLost: the adapter went away during the search (finished(false) follows).
    enum class Step { Idle, Pinging, AllSpeedsTried, Found, LineLost };

    // Paced by `timer` (the search dialog's), or by a timer of its own when none is given.
    explicit UnitSearch(UnitSession& session, QTimer* timer = nullptr, QObject* parent = nullptr);

    QTimer* const Timer1;

    // Starts at the slowest speed on the port the caller opened. `pingWaitOverrideMs`
    // replaces the wait of every speed (the headless client's --timeout).
    void start(std::uint16_t factoryNumber, std::optional<int> pingWaitOverrideMs = {});
    // The number typed while the search runs goes into the next ping.
    void setFactoryNumber(std::uint16_t factoryNumber) { factoryNumber_ = factoryNumber; }
    // Ends the search without a word; an answer still under way is ignored.
    void stop();
    // One step: the next ping (at the next speed after kPingsPerSpeed), or the end.
    void Timer1Timer();

    Step step() const { return step_; }
    int speedIndex() const { return speedIndex_; }
    // Pings sent at the current speed.
    int retry() const { return retry_; }

signals:
    // The line was moved to the speed `speedIndex`.
    void speedTried(int speedIndex);
    // A tick was taken: its ping went out, or the search ends right after this.
    void stepTaken(int speedIndex, int retry);
    // The search ended by itself: found or not.
    void finished(bool found);

private:
    void moveTo(int speedIndex);
    void pingAnswered(const Answer& answer);

    UnitSession& session_;
    Step step_ = Step::Idle;
    std::uint16_t factoryNumber_ = 0;
    int speedIndex_ = 0;
    int retry_ = 0;
    std::optional<int> pingWaitOverrideMs_;
};

} // namespace torl7
