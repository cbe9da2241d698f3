#include "sim/bus_units.hpp"

#include <algorithm>
#include <stdexcept>

namespace torl7::sim {

namespace {

constexpr std::size_t kMostUnitsOnALine = 256;

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

void addUnitNumbers(std::vector<std::uint16_t>& numbers, const std::string& text) {
    const auto dash = text.find('-');
    const auto first = parseInteger(text.substr(0, dash));
    const auto last = dash == std::string::npos ? first : parseInteger(text.substr(dash + 1));
    if (!first || !last || *first < 100 || *last > 65535 || *last < *first) {
        throw std::invalid_argument("--unit wants a factory number from 100 to 65535, or a range "
                                    "N-M of them, not \"" +
                                    text + "\"");
    }
    if (numbers.size() + static_cast<std::size_t>(*last - *first + 1) > kMostUnitsOnALine) {
        throw std::invalid_argument("--unit: at most " + std::to_string(kMostUnitsOnALine) +
                                    " units on one line");
    }
    for (std::int64_t number = *first; number <= *last; ++number) {
        if (std::ranges::find(numbers, number) != numbers.end()) {
            throw std::invalid_argument("--unit: unit " + std::to_string(number) +
                                        " is given twice");
        }
        numbers.push_back(static_cast<std::uint16_t>(number));
    }
}

void checkUnitFaults(const SimOptions& shared, std::span<const std::uint16_t> numbers,
                     std::span<const UnitFault> unitFaults) {
    for (const UnitFault& fault : unitFaults) {
        const bool onLine = numbers.empty()
                                ? fault.unit == shared.unit.factoryNumber
                                : std::ranges::find(numbers, fault.unit) != numbers.end();
        if (!onLine) {
            const std::string unit = std::to_string(fault.unit);
            throw std::invalid_argument("--fault " + unit + ":...: no unit " + unit +
                                        " on the line (add it with --unit)");
        }
    }
}

} // namespace torl7::sim
