#include "documents/strict_json.hpp"

#include <algorithm>
#include <iterator>
#include <set>
#include <vector>

namespace torl7 {

namespace {

// A document nests a few levels deep; anything far deeper is not one of ours.
constexpr int kMaxDepth = 64;

// Hands the text to the parser a character at a time and counts what it has read, so that a
// fault the parser's callback finds (a key given twice) can be placed in the text.
class CountingReader {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingReader(const char* at, std::size_t* read) : at_(at), read_(read) {}
    reference operator*() const { return *at_; }
    CountingReader& operator++() {
        ++at_;
        ++*read_;
        return *this;
    }
    CountingReader operator++(int) {
        CountingReader before = *this;
        ++*this;
        return before;
    }
    bool operator==(const CountingReader& other) const { return at_ == other.at_; }

private:
    const char* at_;
    std::size_t* read_;
};

// A fault the callback finds, at the byte offset of the character it lies on.
struct DocumentFault {
    std::string message;
    std::string russian;
    std::size_t offset;
};

struct Place {
    std::string line;
    std::string column;
};

Place placeOf(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    const auto before = text.substr(0, offset);
    const auto line = 1 + std::count(before.begin(), before.end(), '\n');
    const auto lastBreak = before.rfind('\n');
    const auto column = lastBreak == std::string_view::npos ? offset + 1 : offset - lastBreak;
    return {std::to_string(line), std::to_string(column)};
}

std::string located(std::string_view text, std::size_t offset) {
    const Place at = placeOf(text, offset);
    return " at line " + at.line + ", column " + at.column;
}

std::string locatedRussian(std::string_view text, std::size_t offset) {
    const Place at = placeOf(text, offset);
    return ", строка " + at.line + ", столбец " + at.column;
}

// The parser's own words without its exception name ("[json.exception.parse_error.101] ")
// and its "parse error at ...: ", as the position is given our way.
std::string explanation(const StrictJson::exception& error) {
    std::string what = error.what();
    if (const auto name = what.find("] "); !what.empty() && what[0] == '[' && name != what.npos) {
        what.erase(0, name + 2);
    }
    if (what.starts_with("parse error")) {
        if (const auto colon = what.find(": "); colon != what.npos) {
            what.erase(0, colon + 2);
        }
    }
    return what;
}

} // namespace

std::string JsonPlaces::at(const std::string& path) const {
    const auto found = offsets_.find(path);
    return found == offsets_.end() ? std::string() : located(text_, found->second);
}

std::string JsonPlaces::russianAt(const std::string& path) const {
    const auto found = offsets_.find(path);
    return found == offsets_.end() ? std::string() : locatedRussian(text_, found->second);
}

std::optional<StrictJson> parseStrictJson(std::string_view text, std::string& error,
                                          std::string* russian) {
    return parseStrictJson(text, error, russian, {}, nullptr);
}

std::optional<StrictJson> parseStrictJson(std::string_view text, std::string& error,
                                          std::string* russian, const KnownMember& known,
                                          JsonPlaces* places) {
    std::size_t read = 0;
    // Each open object or array: the members seen (objects), the next element's index
    // (arrays), and its place in the document.
    struct Open {
        bool array = false;
        std::set<std::string> keys;
        std::size_t nextIndex = 0;
        std::string key;               // the member being read (objects)
        std::vector<std::string> path; // as `known` gets it
        std::string pointer;           // as the places are kept
    };
    std::vector<Open> open;
    if (places) {
        places->text_ = text;
        places->offsets_.clear();
    }
    // The path and pointer of a container starting at the current position.
    const auto enter = [&](bool array) {
        Open next;
        next.array = array;
        if (!open.empty()) {
            Open& parent = open.back();
            const std::string step = parent.array ? std::to_string(parent.nextIndex++) : parent.key;
            next.path = parent.path;
            next.path.push_back(parent.array ? "[]" : parent.key);
            next.pointer = parent.pointer.empty() ? step : parent.pointer + "/" + step;
        }
        open.push_back(std::move(next));
    };
    auto check = [&](int depth, StrictJson::parse_event_t event, StrictJson& parsed) {
        if (depth > kMaxDepth) {
            throw DocumentFault{"nesting too deep", "слишком глубокая вложенность",
                                read == 0 ? 0 : read - 1};
        }
        using Event = StrictJson::parse_event_t;
        if (event == Event::object_start || event == Event::array_start) {
            enter(event == Event::array_start);
        } else if (event == Event::object_end || event == Event::array_end) {
            open.pop_back();
        } else if (event == Event::value && !open.empty() && open.back().array) {
            ++open.back().nextIndex;
        } else if (event == Event::key) {
            // The reader stands just past the key's closing quote: the fault is placed there.
            const auto& name = parsed.get_ref<const std::string&>();
            Open& object = open.back();
            if (!object.keys.insert(name).second) {
                throw DocumentFault{"member \"" + name + "\" given twice",
                                    "поле \"" + name + "\" указано дважды", read};
            }
            if (known && !known(object.path, name)) {
                throw DocumentFault{"unknown member \"" + name + "\"",
                                    "неизвестное поле \"" + name + "\"", read};
            }
            object.key = name;
            if (places) {
                places->offsets_[object.pointer.empty() ? name : object.pointer + "/" + name] =
                    read;
            }
        }
        return true;
    };
    // The parser's own words are English; the Russian text says where the document breaks.
    std::string russianText;
    std::size_t faultAt = 0;
    try {
        return StrictJson::parse(CountingReader(text.data(), &read),
                                 CountingReader(text.data() + text.size(), &read), check);
    } catch (const DocumentFault& fault) {
        error = fault.message + located(text, fault.offset);
        russianText = fault.russian;
        faultAt = fault.offset;
    } catch (const StrictJson::parse_error& fault) {
        // fault.byte counts the characters read, the one at fault last.
        faultAt = fault.byte == 0 ? 0 : fault.byte - 1;
        error = explanation(fault) + located(text, faultAt);
        russianText = "синтаксическая ошибка";
    } catch (const StrictJson::exception& fault) {
        // A number too large for a double: placed where the reader stands, just past it.
        faultAt = read == 0 ? 0 : read - 1;
        error = explanation(fault) + located(text, faultAt);
        russianText = "число вне допустимого диапазона";
    }
    if (russian) {
        *russian = russianText + locatedRussian(text, faultAt);
    }
    return std::nullopt;
}

} // namespace torl7
