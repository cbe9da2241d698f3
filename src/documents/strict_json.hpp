// Strict JSON for the documents people edit: the whole grammar and nothing more, no member
// given twice in an object (the last one would silently win), and every fault placed by
// line and column so that it can be found in an editor. Objects keep the order of the text.
// Pure: no Qt.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace torl7 {

using StrictJson = nlohmann::ordered_json;

// The document, or nothing with `error` saying what is wrong and where: "member "a" given
// twice at line 2, column 5". A UTF-8 byte order mark before the document is passed over.
// `russian`, when given, receives the fault in Russian with the same line and column.
std::optional<StrictJson> parseStrictJson(std::string_view text, std::string& error,
                                          std::string* russian = nullptr);

} // namespace torl7
