#include "faults/network_rows.hpp"

namespace torl7::faults {

namespace {

sim::FaultParameters everyByteApart() {
    sim::FaultParameters p;
    // An answer has at most 255 bytes: one piece, one write, one segment for each byte.
    p.splitPieces = 255;
    p.splitGap = std::chrono::milliseconds{0};
    return p;
}

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
         Ending::NoAnswer,
         false},
        {Row::SegmentPerByte,
         "segment-per-byte",
         "every byte its own segment (RFC 2217)",
         true,
         {{F::Split}},
         everyByteApart(),
         sim::kDefaultFactoryNumber,
         Ending::Data,
         true},
        // Unit 65535: every frame carries 0xFF 0xFF in its header, doubled on the wire.
        {Row::Payload0xFF,
         "payload-ff",
         "0xFF in every frame (RFC 2217, unit 65535)",
         true,
         {},
         {},
         65535,
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
    options.listen = sim::ListenOptions{{"127.0.0.1", 0}, row.rfc2217};
    options.faults.rules = row.faults;
    options.faults.parameters = row.parameters;
    options.unit.factoryNumber = row.unitNumber;
}

} // namespace torl7::faults
