#include "faults/network_rows.hpp"

namespace torl7::faults {

namespace {

// The server sends every byte alone, a millisecond apart, so that the tool reads them one by
// one: a doubled 0xFF and each Telnet command of the server arrive cut.
constexpr std::chrono::milliseconds kByteGap{1};
constexpr std::chrono::milliseconds kNoGap{0};

} // namespace

const std::vector<NetworkRow>& networkRows() {
    using F = sim::FaultKind;
    static const std::vector<NetworkRow> rows = {
        {Row::ServerGone,
         "server-gone",
         "server gone mid-answer (raw TCP)",
         false,
         {{F::HangUp, 1, 1}},
         {},
         sim::kDefaultFactoryNumber,
         0,
         Ending::NoAnswer,
         false},
        // Unit 65535: every frame carries 0xFF 0xFF in its header, doubled on the wire, so a
        // read may end between the two. At 1200 baud the longest answer, a byte a millisecond,
        // is well within the tool's wait.
        {Row::SegmentPerByte,
         "segment-per-byte",
         "every byte its own segment (RFC 2217, unit 65535, 1200 baud)",
         true,
         {},
         {},
         65535,
         1200,
         Ending::Data,
         true},
        {Row::Payload0xFF,
         "payload-ff",
         "0xFF in every frame (RFC 2217, unit 65535)",
         true,
         {},
         {},
         65535,
         0,
         Ending::Data,
         true},
    };
    return rows;
}

const NetworkRow* networkRow(Row row) {
    for (const NetworkRow& r : networkRows()) {
        if (r.row == row) {
            return &r;
        }
    }
    return nullptr;
}

void setUpNetworkRow(const NetworkRow& row, sim::SimOptions& options) {
    options.listen = sim::ListenOptions{
        {"127.0.0.1", 0}, row.rfc2217, row.row == Row::SegmentPerByte ? kByteGap : kNoGap};
    options.faults.rules = row.faults;
    options.faults.parameters = row.parameters;
    options.unit.factoryNumber = row.unitNumber;
    if (row.unitBaud != 0) {
        options.unit.lineSpeedBaud = row.unitBaud;
    }
}

} // namespace torl7::faults
