#include "sim/bus_units.hpp"

namespace torl7::sim {

namespace {

int tripsAdded(std::uint16_t number) {
    return number % 10 + 1;
}

// The trips a unit recorded this autumn: a different protection, day and hour each, so that
// two units' protocols differ at a glance.
void addTrips(EventProtocol& protocol, std::uint16_t number) {
    for (int i = 0; i < tripsAdded(number); ++i) {
        EventRecord record;
        record.stamp = ClockStamp{(number + 17 * i) % 60,
                                  (number * 7 + i) % 60,
                                  (number + 5 * i) % 24,
                                  1 + (number + 3 * i) % 28,
                                  9 + i % 3,
                                  26};
        record.state = 0x81;
        record.protection = static_cast<std::uint8_t>(1u << ((number + i) % 8));
        record.uaVolts = static_cast<std::uint16_t>(220 + number % 11);
        record.ubVolts = static_cast<std::uint16_t>(221 + i % 9);
        record.ucVolts = static_cast<std::uint16_t>(222 + number % 7);
        record.iaTenthsAmp = static_cast<std::uint16_t>(100 + number % 50);
        record.ibTenthsAmp = static_cast<std::uint16_t>(101 + number % 50);
        record.icTenthsAmp = static_cast<std::uint16_t>(102 + number % 50);
        record.idifTenthsAmp = 4;
        record.cosByte = static_cast<std::uint8_t>(0x80 | (78 + i % 10));
        protocol.append(record);
    }
}

AccountingRecord accountingOf(std::uint16_t number) {
    const std::uint32_t hours = 500 + number % 50 * 20;
    AccountingRecord record;
    record.runningSeconds = hours * 3600;
    record.starts = static_cast<std::uint16_t>(tripsAdded(number) + 10 + number % 30);
    record.trips = static_cast<std::uint16_t>(tripsAdded(number));
    record.energyMillionthsKwh = std::uint64_t{hours} * 7'500'000; // 7.5 kW on average
    record.start = ClockStamp{0, 0, 8, 1, 1 + number % 8, 26};
    return record;
}

} // namespace

std::vector<SimOptions> unitsOnLine(const SimOptions& shared,
                                    std::span<const std::uint16_t> numbers,
                                    std::span<const UnitFault> unitFaults) {
    const std::vector<std::uint16_t> one{shared.unit.factoryNumber};
    if (numbers.empty()) {
        numbers = one;
    }
    std::vector<SimOptions> units;
    for (const std::uint16_t number : numbers) {
        SimOptions unit = shared;
        unit.unit.factoryNumber = number;
        if (numbers.size() > 1) {
            const auto place = static_cast<std::uint32_t>(units.size());
            unit.unit.installation = "Ячейка " + std::to_string(number);
            if (!shared.unit.events) {
                unit.unit.events = EventProtocol::sample();
                addTrips(*unit.unit.events, number);
            }
            unit.unit.accounting = accountingOf(number);
            unit.unit.seed += place;
            unit.faults.seed += place;
        }
        for (const UnitFault& fault : unitFaults) {
            if (fault.unit == number) {
                unit.faults.rules.push_back(fault.rule);
            }
        }
        units.push_back(std::move(unit));
    }
    return units;
}

} // namespace torl7::sim
