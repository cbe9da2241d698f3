// The fault matrix: every fault of the line (rows) against every operation on the unit
// (columns), each cell run against the simulated unit through the tool's own session. A cell
// passes when the tool does not crash or hang, ends with the result the line allows (the
// unit's data, or the no-answer / line-lost error), reports nothing done that the unit did not
// do, leaves nothing half-applied on the unit, and the next clean exchange works.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torl7::faults {

enum class Row {
    Drop,
    Corrupt,
    Split,
    Stray,
    Late,
    Oversized,
    WrongCode,
    EchoUnitPresent,
    EchoUnitAbsent,
    Unplug,
    Baud300,
    Baud600,
    // Behind a serial server on the network (faults/network_rows.cpp).
    ServerGone,
    SegmentPerByte,
    Payload0xFF,
};

enum class Column {
    PollWithWaveforms,
    ReadConfiguration,
    WriteConfiguration,
    Calibration,
    ClockCorrection,
    ProtectionReset,
    Version,
    EventProtocol,
    Accounting,
    ReportChain,
    DeviceSearch,
    SpeedChange,
};

std::vector<Row> allRows();
std::vector<Column> allColumns();
std::string_view rowName(Row row);  // short, for test names: "drop", "echo-absent", ...
std::string_view rowTitle(Row row); // for the table
std::string_view columnTitle(Column column);
std::optional<Row> rowByName(std::string_view name);

// What the line lets the operation end with.
enum class Ending {
    Data,     // the unit's answer: the data read, or the command done
    NoAnswer, // "no answer" (or the line lost): the tool cannot have the unit's answer
};

struct Expectation {
    Ending ending;
    // Set where the protocol cannot do better than this ending: why.
    const char* explanation = nullptr;
};
Expectation expectationFor(Row row, Column column);

// Cells that fail on the session as it stands and pass once its receiver, echo handling and
// idle close are mended; each with what goes wrong today. They are run and reported, not
// judged, until the list is emptied.
struct AwaitedCell {
    Row row;
    Column column;
    const char* fault;
};
extern const std::vector<AwaitedCell> kAwaitingSessionFix;
const AwaitedCell* awaitingFix(Row row, Column column);

struct CellVerdict {
    bool passed = false;
    std::string detail; // what failed; empty when passed
    std::chrono::milliseconds took{0};
};

// Runs one cell on a unit of its own. Needs a QCoreApplication.
CellVerdict runCell(Row row, Column column);

} // namespace torl7::faults
