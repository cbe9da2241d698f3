// What each cell of the fault matrix must end with, and the cells the session does not pass
// yet.
#include "faults/fault_matrix.hpp"
#include "faults/network_rows.hpp"

#include <algorithm>

namespace torl7::faults {

namespace {

// A lost acknowledgement of a command the unit carried out: the unit acted, its answer did
// not arrive whole and in time.
constexpr const char* kAckLost =
    "the unit carried it out, but its acknowledgement never arrived whole and in time; nothing "
    "in the protocol tells a lost request from a lost answer, so the tool must say the unit "
    "did not answer (and the next read shows what the unit holds)";

constexpr const char* kPingAnswersAlike =
    "ping answers carry no sequence number: the late answer to one ping is taken as the answer "
    "to the next, which is right, since the unit is there";

bool commandAckFirst(Column column) {
    return column == Column::WriteConfiguration || column == Column::ClockCorrection ||
           column == Column::ProtectionReset;
}

} // namespace

Expectation expectationFor(Row row, Column column) {
    if (const NetworkRow* network = networkRow(row)) {
        return {network->ending};
    }
    switch (row) {
    case Row::Split:
    case Row::Stray:
    case Row::EchoUnitPresent:
    case Row::Baud300:
    case Row::Baud600:
        return {Ending::Data};
    case Row::EchoUnitAbsent:
    case Row::Unplug:
        return {Ending::NoAnswer};
    case Row::Drop:
    case Row::Corrupt:
    case Row::Late:
    case Row::Oversized:
    case Row::WrongCode:
    case Row::ServerGone:
    case Row::SegmentPerByte:
    case Row::Payload0xFF:
        break;
    }
    // The first answer is lost or spoiled. The poll and the search ask again; every other
    // operation ends at the answer it did not get.
    if (column == Column::PollWithWaveforms) {
        return {Ending::Data};
    }
    if (column == Column::DeviceSearch) {
        return {Ending::Data, row == Row::Late ? kPingAnswersAlike : nullptr};
    }
    return {Ending::NoAnswer, commandAckFirst(column) ? kAckLost : nullptr};
}

// Cells the session does not pass yet, each with what goes wrong. Run and reported, not
// asserted, so that the table shows the day one starts to pass.
const std::vector<AwaitedCell> kAwaitingSessionFix = {};

const AwaitedCell* awaitingFix(Row row, Column column) {
    const auto it = std::ranges::find_if(kAwaitingSessionFix, [&](const AwaitedCell& cell) {
        return cell.row == row && cell.column == column;
    });
    return it == kAwaitingSessionFix.end() ? nullptr : &*it;
}

} // namespace torl7::faults
