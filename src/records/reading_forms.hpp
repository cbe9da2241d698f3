// The archive's readings made from what the unit's operations return, shared by the window and
// torl7-cli so that both keep a report chain and a write alike.
#pragma once

#include "records/archive_keeper.hpp"
#include "records/archive_reading.hpp"
#include "records/substation_run.hpp"
#include "session/operations/report_chain.hpp"
#include "session/operations/write_configuration.hpp"

#include <optional>

namespace torl7 {

// The configuration, accounting record and event slots the chain read, added to `reading`.
ArchiveReading withChain(ArchiveReading reading, const ReportChainData& chained);

// What a collection read of one unit, named as the substation file names it; nothing when the
// unit's work did not end with a reading.
std::optional<ArchiveReading> collectReading(const UnitOutcome& outcome,
                                             const Substation& substation);

// The write as the archive keeps it: what was sent, what the unit took, and what changed
// against the settings `keeper` kept before it; `reading` names the unit and the kind. Nothing
// when the write never went out (the settings before it could not be kept).
std::optional<ArchiveReading> writeReading(ArchiveReading reading, const ArchiveKeeper& keeper,
                                           const ConfigRecord& sent, const WriteReport& report);

} // namespace torl7
