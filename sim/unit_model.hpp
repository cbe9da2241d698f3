// The simulated unit as a function from one verified request to its answer frames. No I/O and
// no timing: the serving loop and the fault layer put the answer on the wire.
#pragma once

#include "protocol/frame.hpp"
#include "sim/clock.hpp"
#include "sim/unit_state.hpp"

#include <vector>

namespace torl7::sim {

struct UnitOptions {
    std::uint16_t factoryNumber = kDefaultFactoryNumber;
    int lineSpeedBaud = kDefaultLineSpeedBaud;
    bool askToFollowSpeedChange = false;
    std::string versionText = kDefaultVersionText;
    InputQuantities inputs = kDefaultInputs;
    WaveShape wave;
    std::optional<std::uint16_t> uminLimitVolts;
    std::optional<std::uint16_t> coefficientLimit;
    std::vector<ProvokedTrip> trips;
    // The event protocol the unit starts with; a sample protocol when not given.
    std::optional<EventProtocol> events;
    // The accounting record the unit starts with; that of a unit long in service when not given.
    std::optional<AccountingRecord> accounting;
    // The installation text stored in the configuration (blank when empty).
    std::string installation;
    // Seed of the measurement noise.
    std::uint32_t seed = 1;
};

class UnitModel {
public:
    // `clock` must outlive the model.
    UnitModel(const UnitOptions& options, const Clock& clock);

    // The frames the unit sends in answer to `request`: none when the request names another
    // factory number, carries a command the unit does not know, or asks for something the
    // unit refuses silently.
    std::vector<Bytes> handle(const Frame& request);

    const UnitState& state() const { return state_; }
    UnitState& state() { return state_; }
    const Clock& clock() const { return clock_; }

    // Brings the motor, the protections and the counters up to the clock's time; every
    // request does this first.
    void advance();

private:
    UnitState state_;
    const Clock& clock_;
};

} // namespace torl7::sim
