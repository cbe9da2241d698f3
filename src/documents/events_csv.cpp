#include "documents/events_csv.hpp"

namespace torl7 {

std::string csvField(std::string_view text, char separator) {
    const char special[] = {separator, '"', '\n', '\r', '\0'};
    if (text.find_first_of(special) == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

namespace {

// The fields of `before` (if any), then those of `fields`, as one line.
template <typename Before, typename Fields>
void appendLine(std::string& csv, const Before& before, const Fields& fields, char separator) {
    bool first = true;
    const auto add = [&](std::string_view field) {
        if (!first) {
            csv += separator;
        }
        first = false;
        csv += csvField(field, separator);
    };
    for (const auto& field : before) {
        add(field);
    }
    for (const auto& field : fields) {
        add(field);
    }
    csv += "\r\n";
}

} // namespace

std::string eventsCsv(const std::vector<EventRow>& rows, char separator) {
    std::string csv(kUtf8ByteOrderMark);
    const std::array<std::string_view, 0> none{};
    appendLine(csv, none, kEventColumnTitles, separator);
    for (const EventRow& row : rows) {
        appendLine(csv, none, row, separator);
    }
    return csv;
}

std::string unitEventsCsv(const std::vector<UnitEventRow>& rows, char separator) {
    std::string csv(kUtf8ByteOrderMark);
    appendLine(csv, std::array{kUnitColumnTitle, kUnitNamesColumnTitle}, kEventColumnTitles,
               separator);
    for (const UnitEventRow& r : rows) {
        appendLine(csv, std::array{std::to_string(r.unit), r.title}, r.row, separator);
    }
    return csv;
}

} // namespace torl7
