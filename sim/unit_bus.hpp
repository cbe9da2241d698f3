// The units on one line, as on an RS-485 bus: each hears the tool's frames at its own speed and
// answers only those that carry its factory number; a frame for a number no unit has is answered
// by nobody. Each unit keeps its own state and its own faults. No I/O: the serving loop puts
// what the units answer on the wire.
#pragma once

#include "sim/faults.hpp"
#include "sim/unit_model.hpp"

#include <vector>

namespace torl7::sim {

// One unit on the line and the faults of its answers.
struct BusUnit {
    UnitModel* model = nullptr;
    FaultInjector* faults = nullptr;

    std::uint16_t number() const { return model->state().factoryNumber; }
};

class UnitBus {
public:
    // Puts a unit on the line; both must outlive the bus. Throws std::invalid_argument when a
    // unit with the same factory number is on the line already: two units answering one frame
    // would only garble each other.
    void attach(UnitModel& model, FaultInjector& faults);

    const std::vector<BusUnit>& units() const { return units_; }

    // The unit with factory number `number`. Throws std::out_of_range when none is on the line.
    BusUnit& at(std::uint16_t number);

    // True when some unit's receiver runs at `baud`; to every other unit the bytes are garbage.
    bool anyListensAt(int baud) const;

    // The unit that takes `request` heard at `baud`: the one with its factory number, if that
    // unit runs at `baud`. Nothing otherwise.
    BusUnit* addressee(const Frame& request, int baud);

    // What the line carries for a frame no unit takes: nothing, unless every unit's faults make
    // the line echo it. The echo is the tool's adapter hearing itself, a fault of the line; a
    // fault given to one unit alone does not reach frames meant for nobody.
    WirePlan planForNobody(ByteSpan request, int baud);

private:
    std::vector<BusUnit> units_;
};

} // namespace torl7::sim
