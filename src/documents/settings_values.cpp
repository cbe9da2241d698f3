#include "documents/settings_values.hpp"

#include "documents/settings_file.hpp"
#include "protocol/config_fields.hpp"

#include <algorithm>

namespace torl7 {

namespace {

// Every row of the settings table that is not a heading is the row of exactly one field.
consteval bool everyValueRowHasOneField() {
    std::array<int, kSettingsRows> fieldsInRow{};
    for (const ConfigField& f : kConfigFields) {
        if (f.reportRow != kNoReportRow) {
            if (f.reportRow < 0 || f.reportRow >= static_cast<int>(kSettingsRows)) {
                return false;
            }
            ++fieldsInRow[static_cast<std::size_t>(f.reportRow)];
        }
    }
    for (std::size_t row = 0; row < kSettingsRows; ++row) {
        const bool heading = std::find(kSettingsHeadingRows.begin(), kSettingsHeadingRows.end(),
                                       row) != kSettingsHeadingRows.end();
        if (fieldsInRow[row] != (heading ? 0 : 1)) {
            return false;
        }
    }
    return true;
}
static_assert(everyValueRowHasOneField(), "a settings row of the report has no field or two");

} // namespace

std::array<std::string, kSettingsRows> settingsValuesFor(const ConfigRecord& unitRecord) {
    const ConfigRecord r = asPageHolds(unitRecord);
    std::array<std::string, kSettingsRows> values;
    for (const ConfigField& f : kConfigFields) {
        if (f.reportRow == kNoReportRow) {
            continue;
        }
        values[static_cast<std::size_t>(f.reportRow)] =
            f.kind == FieldKind::Flag ? std::string(f.access.get(r) ? kCheckedText : kUncheckedText)
                                      : shownText(f, r);
    }
    return values;
}

ReportData reportDataFor(int factoryNumber, const ConfigRecord& record,
                         const AccountingRecord& accounting,
                         const std::vector<std::array<std::string, kEventCells>>& events,
                         std::time_t made) {
    ReportData data;
    data.factoryNumber = std::to_string(factoryNumber);
    data.events = events;
    data.settingsValues = settingsValuesFor(record);
    const AccountingTexts texts = formatAccounting(accounting);
    data.accountingValues = {texts.start, texts.runningTime, texts.starts, texts.trips,
                             texts.energy};
    data.made = made;
    return data;
}

} // namespace torl7
