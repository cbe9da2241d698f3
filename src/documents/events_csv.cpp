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

std::string eventsCsv(const std::vector<EventRow>& rows, char separator) {
    std::string csv(kUtf8ByteOrderMark);
    const auto line = [&](const auto& fields) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) {
                csv += separator;
            }
            csv += csvField(fields[i], separator);
        }
        csv += "\r\n";
    };
    line(kEventColumnTitles);
    for (const EventRow& row : rows) {
        line(row);
    }
    return csv;
}

} // namespace torl7
