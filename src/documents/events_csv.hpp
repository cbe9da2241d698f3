// The event protocol as a CSV file for spreadsheets: the grid's twelve columns under their
// titles, one event a line, oldest first. UTF-8 with a byte-order mark (the sign a spreadsheet
// needs to read it as UTF-8 rather than the locale's code page); fields separated by ';' by
// default, which a Russian-locale spreadsheet splits into columns even though the numbers
// carry decimal commas, or by ',' for the other convention. Pure, no Qt.
#pragma once

#include "protocol/codecs/event_codec.hpp"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace torl7 {

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Titles of the grid's event columns after the row number; "Ia, A" .. "Ic, A" end in a Latin
// A, "Iут, А" in a Cyrillic one.
inline constexpr std::array<std::string_view, 12> kEventColumnTitles = {
    "Дата/Время", "ТОРЛ",  "Обор.", "Защита", "Ua, В",  "Ub, В",
    "Uc, В",      "Ia, A", "Ib, A", "Ic, A",  "Iут, А", "cos f"};

// One field: as it is, or in double quotes (inner quotes doubled) when it holds the
// separator, a double quote, a line feed or a carriage return.
std::string csvField(std::string_view text, char separator);

// The whole file: mark, title line, one line per row; lines end in "\r\n" as RFC 4180 says.
std::string eventsCsv(const std::vector<EventRow>& rows, char separator = ';');

// An event of one of several units: the unit's factory number and its names for a person
// ("КРУ-6 кВ, яч. 4, Насос 1") before the grid's twelve columns.
struct UnitEventRow {
    int unit = 0;
    std::string title;
    EventRow row;
};
inline constexpr std::string_view kUnitColumnTitle = "Устройство";
inline constexpr std::string_view kUnitNamesColumnTitle = "Присоединение";

// The same file with the two unit columns first.
std::string unitEventsCsv(const std::vector<UnitEventRow>& rows, char separator = ';');

} // namespace torl7
