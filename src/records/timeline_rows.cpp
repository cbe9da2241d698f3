#include "records/timeline_rows.hpp"

#include "documents/substation_file.hpp"

namespace torl7 {

std::string unitTitle(int number, const UnitNames& names) {
    SubstationUnit unit;
    unit.number = number;
    unit.switchgear = names.switchgear;
    unit.bay = names.bay;
    unit.motor = names.motor;
    return Substation::title(unit);
}

std::vector<UnitEventRow> timelineRows(const std::vector<TimelineEvent>& events,
                                       const UnitTitler& titled) {
    std::vector<UnitEventRow> rows;
    rows.reserve(events.size());
    for (const TimelineEvent& e : events) {
        std::optional<std::string> title = titled ? titled(e.unit) : std::nullopt;
        rows.push_back({e.unit, title ? std::move(*title) : unitTitle(e.unit, e.names),
                        eventRowTexts(decodeEventRecord(e.record))});
    }
    return rows;
}

} // namespace torl7
