// Strict JSON for the documents people edit: the whole grammar and nothing more, no member
// given twice in an object (the last one would silently win), and every fault placed by
// line and column so that it can be found in an editor. Objects keep the order of the text.
// Pure: no Qt.
#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torl7 {

using StrictJson = nlohmann::ordered_json;

// The document, or nothing with `error` saying what is wrong and where: "member "a" given
// twice at line 2, column 5". A UTF-8 byte order mark before the document is passed over.
// `russian`, when given, receives the fault in Russian with the same line and column.
std::optional<StrictJson> parseStrictJson(std::string_view text, std::string& error,
                                          std::string* russian = nullptr);

// The members a document's objects may hold: `path` leads from the root to the object (member
// names, and "[]" for an array's element), `name` is the member. A member it does not know is a
// fault placed in the text like a member given twice.
using KnownMember =
    std::function<bool(const std::vector<std::string>& path, const std::string& name)>;

// Where each member's name stands in the text, by its path ("units/3/number": member names
// and array indices from the root), so that a fault found after parsing can be placed too.
class JsonPlaces {
public:
    // " at line L, column C" (or ", строка L, столбец C"); empty for a path not in the text.
    std::string at(const std::string& path) const;
    std::string russianAt(const std::string& path) const;

private:
    friend std::optional<StrictJson> parseStrictJson(std::string_view, std::string&, std::string*,
                                                     const KnownMember&, JsonPlaces*);
    std::string_view text_;
    std::map<std::string, std::size_t> offsets_;
};

// The same with every member checked against `known`, and the places of the members kept in
// `places` (when given; it refers to `text`, which must outlive it).
std::optional<StrictJson> parseStrictJson(std::string_view text, std::string& error,
                                          std::string* russian, const KnownMember& known,
                                          JsonPlaces* places);

} // namespace torl7
