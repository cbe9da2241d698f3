// The value column of the report's settings table for a configuration record, as the
// "Конфигурация" page shows that record after reading it from the unit. The headless client
// reports from the record it has read; the texts are the window's, so both make the same
// document. Pure: no Qt.
#pragma once

#include "documents/report_content.hpp"
#include "protocol/codecs/config_record_codec.hpp"

namespace torl7 {

std::array<std::string, kSettingsRows> settingsValuesFor(const ConfigRecord& record);

} // namespace torl7
