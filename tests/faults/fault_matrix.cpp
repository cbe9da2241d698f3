#include "faults/fault_matrix.hpp"

#include "faults/fault_operations.hpp"
#include "faults/network_rows.hpp"
#include "protocol/line_speed.hpp"
#include "protocol/search_schedule.hpp"
#include "session/operations/unit_commands.hpp"

#include <QElapsedTimer>

#include <algorithm>
#include <array>

namespace torl7::faults {

namespace {

using sim::FaultKind;
using std::chrono::milliseconds;

struct RowInfo {
    Row row;
    const char* name;
    const char* title;
};

constexpr std::array<RowInfo, 12> kRows = {{
    {Row::Drop, "drop", "drop"},
    {Row::Corrupt, "corrupt", "corrupt sum"},
    {Row::Split, "split", "split in pieces"},
    {Row::Stray, "stray", "stray bytes before (a lone 0xAA)"},
    {Row::Late, "late", "late beyond the timeout"},
    {Row::Oversized, "oversized", "oversize length"},
    {Row::WrongCode, "wrong-code", "wrong code"},
    {Row::EchoUnitPresent, "echo-present", "echo, unit present"},
    {Row::EchoUnitAbsent, "echo-absent", "echo, unit absent"},
    {Row::Unplug, "unplug", "unplug"},
    {Row::Baud300, "baud300", "300 baud, wire time"},
    {Row::Baud600, "baud600", "600 baud, wire time"},
}};

// Each operation with its title and the unit's speed on a line of normal speed. The search
// tries the slowest speed first, so a unit there is found at once; the speed change waits a
// fixed step for each answer, 50 ms from 4800 baud up, which a loaded machine may miss, and
// 200 ms at 1200.
struct ColumnInfo {
    Column column;
    const char* title;
    int baud;
};

constexpr std::array<ColumnInfo, 12> kColumns = {{
    {Column::PollWithWaveforms, "poll + waveforms", 115200},
    {Column::ReadConfiguration, "read config", 115200},
    {Column::WriteConfiguration, "write config", 115200},
    {Column::Calibration, "calibration", 115200},
    {Column::ClockCorrection, "clock", 115200},
    {Column::ProtectionReset, "reset", 115200},
    {Column::Version, "version", 115200},
    {Column::EventProtocol, "events", 115200},
    {Column::Accounting, "accounting", 115200},
    {Column::ReportChain, "report chain", 115200},
    {Column::DeviceSearch, "search", 300},
    {Column::SpeedChange, "speed change", 1200},
}};

const ColumnInfo& infoOf(Column column) {
    return *std::find_if(kColumns.begin(), kColumns.end(),
                         [column](const ColumnInfo& info) { return info.column == column; });
}

const RowInfo& infoOf(Row row) {
    return *std::find_if(kRows.begin(), kRows.end(),
                         [row](const RowInfo& info) { return info.row == row; });
}

// The factory number the tool asks for when the unit is absent: the unit stays silent.
constexpr std::uint16_t kAbsentUnit = sim::kDefaultFactoryNumber + 1;

// Every answer of the cell's operation is faulted for faults of the line itself; a fault of
// one exchange hits the operation's first answer.
std::vector<sim::FaultRule> rulesFor(Row row) {
    switch (row) {
    case Row::Drop:
        return {{FaultKind::Drop, 1, 1}};
    case Row::Corrupt:
        return {{FaultKind::CorruptChecksum, 1, 1}};
    case Row::Split:
        return {{FaultKind::Split}};
    case Row::Stray:
        return {{FaultKind::Stray}};
    case Row::Late:
        return {{FaultKind::Late, 1, 1}};
    case Row::Oversized:
        return {{FaultKind::OversizedLength, 1, 1}};
    case Row::WrongCode:
        return {{FaultKind::WrongCode, 1, 1}};
    case Row::EchoUnitPresent:
    case Row::EchoUnitAbsent:
        return {{FaultKind::Echo}};
    case Row::Unplug:
        return {{FaultKind::HangUp, 1, 1}};
    case Row::Baud300:
    case Row::Baud600:
    case Row::ServerGone:
    case Row::SegmentPerByte:
    case Row::Payload0xFF:
        return {};
    }
    return {};
}

bool slow(Row row) {
    return row == Row::Baud300 || row == Row::Baud600;
}

// Every slot of the protocol holds an event of its own, so that each block read counts.
sim::EventProtocol fullProtocol() {
    sim::EventProtocol protocol;
    for (int i = 0; i < static_cast<int>(sim::EventProtocol::kSlots); ++i) {
        EventRecord record;
        record.stamp = ClockStamp{i % 60, i / 60, 10, 3, 4, 26};
        record.state = 0x81;
        record.uaVolts = static_cast<std::uint16_t>(200 + i);
        protocol.append(record);
    }
    return protocol;
}

sim::SimOptions optionsFor(Row row, Column column) {
    sim::SimOptions options;
    options.faults.rules = rulesFor(row);
    // Pieces of one answer follow closely, as a USB adapter hands them over: well within the
    // 50 ms a unit takes for a ping's answer at the fast speeds.
    options.faults.parameters.splitGap = milliseconds{5};
    options.unit.lineSpeedBaud = row == Row::Baud300   ? 300
                                 : row == Row::Baud600 ? 600
                                                       : infoOf(column).baud;
    if (slow(row)) {
        // The first two answers take their wire time: the longest of each operation is among
        // them (a configuration read, a write and its read-back, the first event blocks), and
        // ten event blocks at 300 baud would take a minute and a half. At 600 baud the poll's
        // blocks all take theirs: a repetition answered at once would hide an answer the port
        // cut off (at 300 baud the configuration read shows that already).
        options.server.wireTime = true;
        if (!(row == Row::Baud600 && column == Column::PollWithWaveforms)) {
            options.server.wireTimeAnswers = 2;
        }
    }
    if (row == Row::Late && (column == Column::DeviceSearch || column == Column::SpeedChange)) {
        // Past the ping's wait, which is what these two give an answer.
        const int speedIndex = indexForBaud(options.unit.lineSpeedBaud);
        options.faults.parameters.lateBy = milliseconds(pingWaitMs(speedIndex) + 300);
    }
    if (column == Column::EventProtocol || column == Column::ReportChain) {
        options.unit.events = fullProtocol();
    }
    if (column == Column::ProtectionReset) {
        options.unit.trips = {{sim::Protection::Umin, std::chrono::seconds{0}}};
    }
    if (const NetworkRow* network = networkRow(row)) {
        setUpNetworkRow(*network, options);
    }
    return options;
}

const char* endingText(std::optional<Ending> ending) {
    if (!ending) {
        return "did not end";
    }
    return *ending == Ending::Data ? "ended with the unit's data" : "ended with no answer";
}

// The next exchange on a clean line, at the unit's speed and number, after the port is back.
std::string nextActionFails(UnitRig& rig, const sim::UnitState& state) {
    rig.clearFaults();
    rig.session().setFactoryNumber(state.factoryNumber);
    rig.session().setLineSpeed(indexForBaud(state.lineSpeedBaud));
    if (const auto error = rig.reopen()) {
        return "the port did not open again: " + error->detail.toStdString();
    }
    std::optional<Outcome<std::string>> outcome;
    VersionRead version(rig.session(), PortUse::Part);
    version.onFinished([&](const Outcome<std::string>& o) { outcome = o; });
    version.start();
    UnitRig::runUntil([&] { return outcome.has_value(); }, milliseconds{15000});
    if (!outcome || !outcome->result || !outcome->result->starts_with(state.versionText)) {
        return "the next clean version read failed";
    }
    return {};
}

} // namespace

std::vector<Row> allRows() {
    std::vector<Row> rows;
    for (const RowInfo& info : kRows) {
        rows.push_back(info.row);
    }
    for (const NetworkRow& network : networkRows()) {
        rows.push_back(network.row);
    }
    return rows;
}

std::vector<Column> allColumns() {
    std::vector<Column> columns;
    for (const ColumnInfo& info : kColumns) {
        columns.push_back(info.column);
    }
    return columns;
}

std::string_view rowName(Row row) {
    if (const NetworkRow* network = networkRow(row)) {
        return network->name;
    }
    return infoOf(row).name;
}

std::string_view rowTitle(Row row) {
    if (const NetworkRow* network = networkRow(row)) {
        return network->title;
    }
    return infoOf(row).title;
}

std::string_view columnTitle(Column column) {
    return infoOf(column).title;
}

std::optional<Row> rowByName(std::string_view name) {
    for (const Row row : allRows()) {
        if (name == rowName(row)) {
            return row;
        }
    }
    return std::nullopt;
}

CellVerdict runCell(Row row, Column column) {
    QElapsedTimer elapsed;
    elapsed.start();
    CellVerdict verdict;
    const auto limit = milliseconds(slow(row) ? 90000 : 20000);
    const sim::SimOptions options = optionsFor(row, column);
    UnitRig rig(options, row == Row::EchoUnitAbsent ? kAbsentUnit : options.unit.factoryNumber);
    // Long enough for the provoked trip to have happened and its reset lock to have run out.
    rig.clock().advance(std::chrono::hours{1});
    const sim::UnitState before = rig.unitState();
    if (const auto error = rig.session().openPort()) {
        verdict.detail = "the port did not open: " + error->detail.toStdString();
        return verdict;
    }
    const Expectation expected = expectationFor(row, column);
    const NetworkRow* network = networkRow(row);
    const bool everyAnswerArrives = row == Row::Split || row == Row::Stray ||
                                    row == Row::EchoUnitPresent || slow(row) ||
                                    (network && network->everyAnswerArrives);
    const OperationRun run = runOperation(column, rig, before, limit, everyAnswerArrives);
    std::string detail;
    if (run.ending != expected.ending) {
        detail = std::string(endingText(run.ending)) + ", expected it " +
                 (expected.ending == Ending::Data ? "to end with the unit's data"
                                                  : "to end with no answer");
    }
    for (const std::string& more : {run.wrong, nextActionFails(rig, rig.unitState())}) {
        if (!more.empty()) {
            detail += (detail.empty() ? "" : "; ") + more;
        }
    }
    verdict.passed = detail.empty();
    verdict.detail = detail;
    verdict.took = milliseconds(elapsed.elapsed());
    return verdict;
}

} // namespace torl7::faults
