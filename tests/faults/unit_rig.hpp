// A simulated unit on a pseudo-terminal and the tool's own session over Qt's serial port, as
// the window and torl7-cli talk to a unit: the rig of the fault matrix and of the soak run.
// The unit's clock stands still unless moved, so what it counts stays put between a look
// before an exchange and a look after it.
#pragma once

#include "session/port_line.hpp"
#include "session/unit_session.hpp"
#include "sim/simulated_unit.hpp"

#include <QEventLoop>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace torl7::faults {

class UnitRig {
public:
    // Starts the unit with `options` (its clock is the rig's) and hands the session its port,
    // the unit's speed and `toolFactoryNumber`.
    UnitRig(sim::SimOptions options, std::uint16_t toolFactoryNumber);
    ~UnitRig();
    UnitRig(const UnitRig&) = delete;
    UnitRig& operator=(const UnitRig&) = delete;

    UnitSession& session() { return session_; }
    sim::FixedClock& clock() { return clock_; }

    // A copy of what the unit holds now, brought up to its clock's time.
    sim::UnitState unitState();
    // The line is clean from now on.
    void clearFaults();
    // The requests the unit gathered, whole frames, in order, since the last clearRequests().
    std::vector<Bytes> requests();
    void clearRequests();
    // Answers the unit gave (or left out) with a fault applied, since the start.
    long faultedAnswers();

    // Runs the event loop until `ended` says so or `limit` has passed; false on the limit.
    static bool runUntil(const std::function<bool()>& ended, std::chrono::milliseconds limit);

    // Waits until the unit has answered (or left silent) every request it gathered, so that no
    // late byte is still to come, then lets the session take what arrived.
    void settle(std::chrono::milliseconds limit = std::chrono::milliseconds{15000});

    // Hands the session the unit's port as it is now (a hang-up moves it) and opens it.
    std::optional<SessionError> reopen();

private:
    sim::FixedClock clock_;
    sim::SimulatedUnit unit_;
    PortLine line_;
    UnitSession session_;
    std::mutex mutex_;
    std::vector<Bytes> requests_;
    int pending_ = 0; // requests gathered and not yet answered or left silent
    long faulted_ = 0;
};

} // namespace torl7::faults
