// The rows of a serial server on the network: the unit behind the simulated server (torl7-sim
// listening on the loopback address), reached through the tool's raw TCP or RFC 2217 line,
// with the faults of the network. Each row is described here whole.
#pragma once

#include "faults/fault_matrix.hpp"
#include "sim/sim_options.hpp"

namespace torl7::faults {

struct NetworkRow {
    Row row;
    const char* name;  // for test names and --table
    const char* title; // for the table
    bool rfc2217;      // else raw TCP
    std::vector<sim::FaultRule> faults;
    sim::FaultParameters parameters;
    std::uint16_t unitNumber; // the tool asks for the same
    int unitBaud;             // 0: the column's speed
    Ending ending;
    bool everyAnswerArrives; // whole, in the end
};

const std::vector<NetworkRow>& networkRows();
const NetworkRow* networkRow(Row row);

// The unit behind the server the row names, with its faults and number.
void setUpNetworkRow(const NetworkRow& row, sim::SimOptions& options);

} // namespace torl7::faults
