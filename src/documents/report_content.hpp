// What the protocol report holds and the order in which it is typed into the template.
// Pure: the texts come from the caller (the controls of the main window), the typing goes
// through DocxDocument. No Qt.
#pragma once

#include "documents/docx_document.hpp"

#include <array>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torl7 {

inline constexpr std::size_t kEventCells = 12;
inline constexpr std::size_t kSettingsRows = 44;
inline constexpr std::size_t kAccountingRows = 5;

// Rows of the settings table that are headings: they have a label and an empty value cell.
inline constexpr std::array<std::size_t, 2> kSettingsHeadingRows = {0, 30};

// A check box's value in the settings table.
inline constexpr std::string_view kCheckedText = "ДА";
inline constexpr std::string_view kUncheckedText = "НЕТ";

// The two state cells of an event row hold a tick for the grid text "Вкл." and stay empty
// otherwise. The tick is the check mark of the Wingdings symbol font, the one Word has always
// had; LibreOffice draws the same character from its own symbol font.
inline constexpr std::string_view kOnText = "Вкл.";
inline constexpr std::string_view kTickFont = "Wingdings";
inline constexpr std::string_view kTickCode = "F0FC";

extern const std::array<std::string_view, kSettingsRows> kSettingsLabels;
extern const std::array<std::string_view, kAccountingRows> kAccountingLabels;

struct ReportData {
    // Factory number as decimal text.
    std::string factoryNumber;
    // Grid columns 1 to 12 of each event row, oldest first, as the protocol grid shows them.
    std::vector<std::array<std::string, kEventCells>> events;
    // Value texts of the 44 settings rows; the entries of the heading rows are not typed.
    std::array<std::string, kSettingsRows> settingsValues;
    // Value texts of the 5 accounting rows.
    std::array<std::string, kAccountingRows> accountingValues;
    // When the report is made: its core properties' created and modified time.
    std::optional<std::time_t> made;
};

// Types the report into an opened template at its bookmarks "num", "tab1", "tab2" and
// "tab3". `progress` receives the progress-bar positions 3, 5, 6, 7, 8, 9 and 10 as the
// typing passes them (1 and 2 belong to opening the template). On the first engine failure
// it stops and returns false with the engine's message in `error`.
bool fillReport(DocxDocument& document, const ReportData& data,
                const std::function<void(int)>& progress, std::string& error);

// The path the report is saved under: as given, or with ".docx" added when its file name has
// no extension ("отчёт" -> "отчёт.docx", "отчёт." -> "отчёт.docx", "отчёт.doc" unchanged).
std::string withReportExtension(std::string utf8Path);

// "ТОРЛ_№600_0812_26.docx" for factory number 600 on 8 December 2026.
std::string defaultReportName(int factoryNumber, int year, int month, int day);
// The same name without ".docx": the start of the names of the tool's other files that day.
std::string reportBaseName(int factoryNumber, int year, int month, int day);

} // namespace torl7
