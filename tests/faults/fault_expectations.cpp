// What each cell of the fault matrix must end with, and the cells the session does not pass
// yet.
#include "faults/fault_matrix.hpp"

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

namespace {

constexpr const char* kStray =
    "the receiver trusts the length after the stray 0xAA, gathers the answer into a false "
    "frame and drops it with its bad sum; the answer is lost";
constexpr const char* kStrayPings =
    "every ping's answer is swallowed that way: the unit is found at no speed";
constexpr const char* kEchoTakenAsAck =
    "the echo of the request is taken as the unit's acknowledgement: reported done with no "
    "unit on the line";
constexpr const char* kIdleClose =
    "the idle close shuts the port 3 s after the request while the answer is still coming "
    "(more than 3 s on the wire): \"no answer\" from a unit that answered";

} // namespace

const std::vector<AwaitedCell> kAwaitingSessionFix = {
    {Row::Stray, Column::PollWithWaveforms, kStray},
    {Row::Stray, Column::ReadConfiguration, kStray},
    {Row::Stray, Column::WriteConfiguration, kStray},
    {Row::Stray, Column::Calibration, kStray},
    {Row::Stray, Column::ClockCorrection, kStray},
    {Row::Stray, Column::ProtectionReset, kStray},
    {Row::Stray, Column::Version, kStray},
    {Row::Stray, Column::EventProtocol, kStray},
    {Row::Stray, Column::Accounting, kStray},
    {Row::Stray, Column::ReportChain, kStray},
    {Row::Stray, Column::DeviceSearch, kStrayPings},
    {Row::Stray, Column::SpeedChange, kStray},
    {Row::EchoUnitAbsent, Column::WriteConfiguration, kEchoTakenAsAck},
    {Row::EchoUnitAbsent, Column::ClockCorrection, kEchoTakenAsAck},
    {Row::EchoUnitAbsent, Column::ProtectionReset, kEchoTakenAsAck},
    {Row::Unplug, Column::PollWithWaveforms,
     "the session does not see the hang-up as a lost line, and the poll's watchdog goes on: "
     "it ends only when its reopen fails, and polls on when a port comes back under the same "
     "name in the meantime (passes or fails by that race)"},
    {Row::Baud300, Column::PollWithWaveforms,
     "the watchdog's first period is 300 ms at every speed: at 300 baud the snapshot's "
     "request is repeated into its answer, and the extra answers can put one phase's block "
     "twice into a set drawn without another"},
    {Row::Baud300, Column::ReadConfiguration, kIdleClose},
    {Row::Baud300, Column::WriteConfiguration, kIdleClose},
    {Row::Baud300, Column::EventProtocol, kIdleClose},
    {Row::Baud300, Column::ReportChain, kIdleClose},
    {Row::Baud600, Column::EventProtocol, kIdleClose},
    {Row::Baud600, Column::PollWithWaveforms,
     "a waveform block takes 4.4 s on the wire: the idle close cuts it, and each repetition "
     "the same way, until the poll ends with no answer"},
};

const AwaitedCell* awaitingFix(Row row, Column column) {
    const auto it = std::ranges::find_if(kAwaitingSessionFix, [&](const AwaitedCell& cell) {
        return cell.row == row && cell.column == column;
    });
    return it == kAwaitingSessionFix.end() ? nullptr : &*it;
}

} // namespace torl7::faults
