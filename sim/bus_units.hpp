// The units of one line made from one set of options: each gets its own factory number and,
// when several share the line, defaults that tell them apart where a person looks (the
// installation text, the event protocol, the accounting record), so that what was read from
// each can be checked unit by unit.
#pragma once

#include "sim/sim_options.hpp"

#include <span>
#include <string>
#include <vector>

namespace torl7::sim {

// A fault of one unit's answers only.
struct UnitFault {
    std::uint16_t unit = 0;
    FaultRule rule;
};

// The options of every unit on the line, in the order of `numbers` (none: the one unit of
// `shared`): `shared` with the unit's factory number, and the rules of `unitFaults` that name
// the unit after the shared ones. With more than one unit, each also gets
//   - the installation text "Ячейка N";
//   - unless `shared` names an event protocol, the sample protocol followed by N % 10 + 1 trips
//     of September to November 2026;
//   - an accounting record that started on the 1st of month N % 8 + 1 of 2026, with as many
//     trips as were added to its protocol;
//   - the seeds of its measurement noise and random faults, the shared ones plus its place on
//     the line.
// A unit alone on its line keeps the defaults it has always had.
std::vector<SimOptions> unitsOnLine(const SimOptions& shared,
                                    std::span<const std::uint16_t> numbers,
                                    std::span<const UnitFault> unitFaults);

// Adds the factory numbers of `text`, N or N-M (every number from N to M), to `numbers`.
// Throws std::invalid_argument, naming the option --unit, for a number outside 100..65535, a
// number given twice, or more than 256 units on the line.
void addUnitNumbers(std::vector<std::uint16_t>& numbers, const std::string& text);

// Throws std::invalid_argument when a fault names a unit that is not on the line (`numbers`;
// none: the one unit of `shared`).
void checkUnitFaults(const SimOptions& shared, std::span<const std::uint16_t> numbers,
                     std::span<const UnitFault> unitFaults);

} // namespace torl7::sim
