// The value column of the report's settings table for a configuration record, as the
// "Конфигурация" page shows that record after reading it from the unit. The headless client
// reports from the record it has read; the texts are the window's, so both make the same
// document. Pure: no Qt.
#pragma once

#include "documents/report_content.hpp"
#include "protocol/codecs/accounting_codec.hpp"
#include "protocol/codecs/config_record_codec.hpp"

#include <vector>

namespace torl7 {

std::array<std::string, kSettingsRows> settingsValuesFor(const ConfigRecord& record);

// The whole report of a unit from what was read from it, as the window would show it on its
// pages: the factory number, the events in time order, the settings and the accounting record,
// made at `made`.
ReportData reportDataFor(int factoryNumber, const ConfigRecord& record,
                         const AccountingRecord& accounting,
                         const std::vector<std::array<std::string, kEventCells>>& events,
                         std::time_t made);

} // namespace torl7
