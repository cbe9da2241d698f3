#include "records/reading_forms.hpp"

#include <map>

namespace torl7 {

ArchiveReading withChain(ArchiveReading reading, const ReportChainData& chained) {
    reading.configurations = {{ConfigRole::AsRead, chained.record}};
    reading.accounting = chained.accounting;
    reading.events = chained.eventSlots;
    return reading;
}

std::optional<ArchiveReading> collectReading(const UnitOutcome& outcome,
                                             const Substation& substation) {
    if (outcome.result != UnitOutcome::Result::Done || !outcome.data) {
        return std::nullopt;
    }
    ArchiveReading reading;
    reading.unit = outcome.number;
    reading.kind = "collect";
    reading = withChain(std::move(reading), *outcome.data);
    reading.firmware = outcome.firmware;
    if (const SubstationUnit* unit = substation.unit(outcome.number)) {
        reading.names = UnitNames{unit->switchgear, unit->bay, unit->motor};
    }
    return reading;
}

std::optional<ArchiveReading> writeReading(ArchiveReading reading, const ArchiveKeeper& keeper,
                                           const ConfigRecord& sent, const WriteReport& report) {
    if (!report.kept || !*report.kept) {
        return std::nullopt;
    }
    WriteAudit audit;
    audit.acknowledged = report.acknowledged;
    audit.notTaken = report.differences;
    audit.asFoundReading = keeper.lastReading();
    if (keeper.lastRecord()) {
        audit.changed = compareSettings(*keeper.lastRecord(), sent);
    }
    if (report.afterLostAcknowledgement) {
        static const std::map<WriteReport::Found, const char*> found = {
            {WriteReport::Found::NewRecord, "not confirmed: the unit holds the new settings"},
            {WriteReport::Found::OldRecord, "not confirmed: the unit holds its old settings"},
            {WriteReport::Found::Neither, "not confirmed: the unit holds neither"},
            {WriteReport::Found::Unknown, "not confirmed: the read-back was not answered"}};
        audit.outcome = found.at(*report.afterLostAcknowledgement);
    } else if (!report.acknowledged) {
        audit.outcome = "not acknowledged";
    } else if (!report.readBack) {
        audit.outcome = "acknowledged, not read back";
    } else {
        audit.outcome = report.identical ? "taken" : "not taken as sent";
    }
    reading.result = audit.outcome;
    reading.configurations = {{ConfigRole::AsWritten, sent}};
    if (report.readBack) {
        reading.configurations.emplace_back(ConfigRole::AsRead, *report.readBack);
    }
    reading.write = std::move(audit);
    return reading;
}

} // namespace torl7
