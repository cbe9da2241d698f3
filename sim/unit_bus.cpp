#include "sim/unit_bus.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace torl7::sim {

void UnitBus::attach(UnitModel& model, FaultInjector& faults) {
    const BusUnit unit{&model, &faults};
    if (std::ranges::any_of(units_,
                            [&](const BusUnit& u) { return u.number() == unit.number(); })) {
        throw std::invalid_argument("unit " + std::to_string(unit.number()) +
                                    " is on the line twice");
    }
    units_.push_back(unit);
}

BusUnit& UnitBus::at(std::uint16_t number) {
    for (BusUnit& unit : units_) {
        if (unit.number() == number) {
            return unit;
        }
    }
    throw std::out_of_range("no unit " + std::to_string(number) + " on the line");
}

bool UnitBus::anyListensAt(int baud) const {
    return std::ranges::any_of(
        units_, [&](const BusUnit& unit) { return unit.model->state().lineSpeedBaud == baud; });
}

BusUnit* UnitBus::addressee(const Frame& request, int baud) {
    for (BusUnit& unit : units_) {
        if (unit.number() == request.factoryNumber()) {
            return unit.model->state().lineSpeedBaud == baud ? &unit : nullptr;
        }
    }
    return nullptr;
}

WirePlan UnitBus::planForNobody(ByteSpan request, int baud) {
    WirePlan plan;
    for (const BusUnit& unit : units_) {
        // A plan with no answer counts no answer, so asking every unit changes nothing.
        WirePlan echoed = unit.faults->plan(request, {}, baud);
        if (echoed.steps.empty()) {
            return {};
        }
        plan = std::move(echoed);
    }
    return plan;
}

} // namespace torl7::sim
