// Each column of the fault matrix: the operation as the window and torl7-cli run it, and the
// judgement of its end by what the simulated unit holds afterwards.
#pragma once

#include "faults/fault_matrix.hpp"
#include "faults/unit_rig.hpp"

namespace torl7::faults {

struct OperationRun {
    std::optional<Ending> ending; // nothing: it did not end in time
    std::string wrong;            // what the data or the unit's state show was wrong
};

// Runs `column`'s operation over the rig's open port, waits until the unit has answered
// everything, and judges the end against `before` and the unit's state after it.
// `everyAnswerArrives`: the line delivers every answer whole in the end, so nothing needs
// asking twice.
OperationRun runOperation(Column column, UnitRig& rig, const sim::UnitState& before,
                          std::chrono::milliseconds limit, bool everyAnswerArrives);

// The unit's event protocol as the tool must show it: its blocks taken straight from the
// unit's slots.
std::vector<std::array<std::string, 12>> expectedEventRows(const sim::UnitState& state);

} // namespace torl7::faults
