// The archive's timeline as rows of the events CSV: the unit's number and its title for a
// person, then the grid's twelve texts of the event. Shared by the window's "Журнал" and
// torl7-cli timeline, so that both write the same file.
#pragma once

#include "documents/events_csv.hpp"
#include "records/archive.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace torl7 {

// "КРУ-6 кВ, яч. 4, Насос 1" from the names the archive keeps for the unit.
std::string unitTitle(int number, const UnitNames& names);

// A title that overrides the archive's for a unit (a substation file's); nothing: the archive's.
using UnitTitler = std::function<std::optional<std::string>(int unit)>;

std::vector<UnitEventRow> timelineRows(const std::vector<TimelineEvent>& events,
                                       const UnitTitler& titled = {});

} // namespace torl7
