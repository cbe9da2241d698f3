#include "config/settings_file.hpp"

#include "link/cp1251.hpp"
#include "link/line_speed.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>

namespace torl7 {

namespace {

// ---- A small JSON reader: the whole grammar, values kept as the file wrote them. ----

struct Json {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string text; // the string, or the number as written
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;

    // The destructor is defined below the class: clang 14 otherwise defines it while
    // std::pair<std::string, Json> is still being instantiated and refuses the pair.
    Json() = default;
    Json(const Json&) = default;
    Json(Json&&) = default;
    Json& operator=(const Json&) = default;
    Json& operator=(Json&&) = default;
    ~Json();

    const Json* find(std::string_view key) const {
        for (const auto& [name, value] : members) {
            if (name == key) {
                return &value;
            }
        }
        return nullptr;
    }
};

Json::~Json() = default;

class JsonParser {
public:
    explicit JsonParser(std::string_view text) : text_(text) {}

    std::optional<Json> parseDocument(std::string& error) {
        Json value;
        if (!parseValue(value, 0) || (skipBlanks(), pos_ != text_.size())) {
            error = error_.empty() ? "unexpected text" : error_;
            error += " at line " + std::to_string(line()) + ", column " + std::to_string(column());
            return std::nullopt;
        }
        return value;
    }

private:
    static constexpr int kMaxDepth = 64;

    bool fail(std::string message) {
        if (error_.empty()) {
            error_ = std::move(message);
        }
        return false;
    }
    void skipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\n' || text_[pos_] == '\r')) {
            ++pos_;
        }
    }
    bool consume(char c) {
        skipBlanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) == word) {
            pos_ += word.size();
            return true;
        }
        return false;
    }
    std::size_t line() const {
        return 1 + static_cast<std::size_t>(
                       std::count(text_.begin(), text_.begin() + static_cast<long>(pos_), '\n'));
    }
    std::size_t column() const {
        const auto lastBreak = text_.rfind('\n', pos_ == 0 ? 0 : pos_ - 1);
        return lastBreak == std::string_view::npos || pos_ == 0 ? pos_ + 1 : pos_ - lastBreak;
    }

    bool parseValue(Json& out, int depth) {
        if (depth > kMaxDepth) {
            return fail("nesting too deep");
        }
        skipBlanks();
        if (pos_ >= text_.size()) {
            return fail("unexpected end of the document");
        }
        const char c = text_[pos_];
        if (c == '{') {
            ++pos_;
            out.type = Json::Type::Object;
            if (consume('}')) {
                return true;
            }
            do {
                skipBlanks();
                std::string key;
                if (pos_ >= text_.size() || text_[pos_] != '"' || !parseString(key)) {
                    return fail("a member name in double quotes expected");
                }
                if (out.find(key)) {
                    return fail("member \"" + key + "\" given twice");
                }
                if (!consume(':')) {
                    return fail("':' expected");
                }
                Json value;
                if (!parseValue(value, depth + 1)) {
                    return false;
                }
                out.members.emplace_back(std::move(key), std::move(value));
            } while (consume(','));
            return consume('}') || fail("',' or '}' expected");
        }
        if (c == '[') {
            ++pos_;
            out.type = Json::Type::Array;
            if (consume(']')) {
                return true;
            }
            do {
                Json value;
                if (!parseValue(value, depth + 1)) {
                    return false;
                }
                out.items.push_back(std::move(value));
            } while (consume(','));
            return consume(']') || fail("',' or ']' expected");
        }
        if (c == '"') {
            out.type = Json::Type::String;
            return parseString(out.text);
        }
        if (literal("true")) {
            out.type = Json::Type::Bool;
            out.boolean = true;
            return true;
        }
        if (literal("false")) {
            out.type = Json::Type::Bool;
            return true;
        }
        if (literal("null")) {
            out.type = Json::Type::Null;
            return true;
        }
        return parseNumber(out);
    }

    bool parseNumber(Json& out) {
        const std::size_t start = pos_;
        auto digits = [&] {
            const std::size_t from = pos_;
            while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
                ++pos_;
            }
            return pos_ > from;
        };
        if (pos_ < text_.size() && text_[pos_] == '-') {
            ++pos_;
        }
        if (!digits()) {
            return fail("a value expected");
        }
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            if (!digits()) {
                return fail("digits expected after the decimal point");
            }
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
                ++pos_;
            }
            if (!digits()) {
                return fail("digits expected in the exponent");
            }
        }
        out.type = Json::Type::Number;
        out.text = std::string(text_.substr(start, pos_ - start));
        out.number = std::strtod(out.text.c_str(), nullptr);
        return true;
    }

    static void appendUtf8(std::string& out, std::uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool hex4(std::uint32_t& value) {
        if (pos_ + 4 > text_.size()) {
            return fail("four hex digits expected after \\u");
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = text_[pos_++];
            value <<= 4;
            if (h >= '0' && h <= '9') {
                value |= static_cast<std::uint32_t>(h - '0');
            } else if (h >= 'a' && h <= 'f') {
                value |= static_cast<std::uint32_t>(h - 'a' + 10);
            } else if (h >= 'A' && h <= 'F') {
                value |= static_cast<std::uint32_t>(h - 'A' + 10);
            } else {
                return fail("four hex digits expected after \\u");
            }
        }
        return true;
    }

    bool parseString(std::string& out) {
        ++pos_; // the opening quote
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') {
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return fail("a control character inside a string");
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) {
                break;
            }
            const char e = text_[pos_++];
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                std::uint32_t cp = 0;
                if (!hex4(cp)) {
                    return false;
                }
                if (cp >= 0xD800 && cp < 0xDC00) {
                    std::uint32_t low = 0;
                    if (!literal("\\u") || !hex4(low) || low < 0xDC00 || low > 0xDFFF) {
                        return fail("a broken surrogate pair");
                    }
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    return fail("a broken surrogate pair");
                }
                appendUtf8(out, cp);
                break;
            }
            default:
                return fail("an unknown escape in a string");
            }
        }
        return fail("a string without its closing quote");
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string error_;
};

std::string quoted(std::string_view text) {
    static const char* const kHex = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// ---- The fields of the file. ----

std::string tenthsText(std::int64_t tenths) {
    const char* sign = tenths < 0 ? "-" : "";
    const std::int64_t magnitude = tenths < 0 ? -tenths : tenths;
    return sign + std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10);
}

// A field fault: the message, or empty when the value was taken.
using Fault = std::string;

struct Field {
    std::string group; // empty for a member of the document itself
    std::string key;   // the name in messages and differences
    // The key and the value's JSON text for this record (some fields choose between keys).
    std::function<std::pair<std::string, std::string>(const ConfigRecord&)> write;
    // The keys this field may be written under.
    std::vector<std::string> keys;
    std::function<Fault(const Json& group, ConfigRecord&)> read;

    std::string name() const { return group.empty() ? key : group + "." + key; }
};

const Json* member(const Json& group, const std::string& key) {
    return group.find(key);
}

Fault needInteger(const Json* value, std::int64_t min, std::int64_t max, std::int64_t& out) {
    if (!value) {
        return "missing";
    }
    if (value->type != Json::Type::Number || value->number != std::floor(value->number)) {
        return "must be a whole number from " + std::to_string(min) + " to " + std::to_string(max);
    }
    if (value->number < static_cast<double>(min) || value->number > static_cast<double>(max)) {
        return value->text + " is outside " + std::to_string(min) + ".." + std::to_string(max);
    }
    out = static_cast<std::int64_t>(value->number);
    return {};
}

Fault needTenths(const Json* value, std::int64_t minTenths, std::int64_t maxTenths,
                 std::int64_t& out) {
    if (!value) {
        return "missing";
    }
    const std::string range = tenthsText(minTenths) + ".." + tenthsText(maxTenths);
    if (value->type != Json::Type::Number) {
        return "must be a number from " + range;
    }
    const double scaled = value->number * 10;
    const double rounded = std::round(scaled);
    if (std::fabs(scaled - rounded) > 1e-6) {
        return value->text + " has more than one decimal";
    }
    if (rounded < static_cast<double>(minTenths) || rounded > static_cast<double>(maxTenths)) {
        return value->text + " is outside " + range;
    }
    out = static_cast<std::int64_t>(rounded);
    return {};
}

Fault needBool(const Json* value, bool& out) {
    if (!value) {
        return "missing";
    }
    if (value->type != Json::Type::Bool) {
        return "must be true or false";
    }
    out = value->boolean;
    return {};
}

Field integerField(std::string group, std::string key, std::int64_t min, std::int64_t max,
                   std::function<std::int64_t(const ConfigRecord&)> get,
                   std::function<void(ConfigRecord&, std::int64_t)> set) {
    Field f{std::move(group), key, {}, {key}, {}};
    f.write = [key, get](const ConfigRecord& r) { return std::pair{key, std::to_string(get(r))}; };
    f.read = [key, min, max, set](const Json& g, ConfigRecord& r) {
        std::int64_t v = 0;
        Fault fault = needInteger(member(g, key), min, max, v);
        if (fault.empty()) {
            set(r, v);
        }
        return fault;
    };
    return f;
}

Field tenthsField(std::string group, std::string key, std::int64_t minTenths,
                  std::int64_t maxTenths, std::function<std::int64_t(const ConfigRecord&)> get,
                  std::function<void(ConfigRecord&, std::int64_t)> set) {
    Field f{std::move(group), key, {}, {key}, {}};
    f.write = [key, get](const ConfigRecord& r) { return std::pair{key, tenthsText(get(r))}; };
    f.read = [key, minTenths, maxTenths, set](const Json& g, ConfigRecord& r) {
        std::int64_t v = 0;
        Fault fault = needTenths(member(g, key), minTenths, maxTenths, v);
        if (fault.empty()) {
            set(r, v);
        }
        return fault;
    };
    return f;
}

Field enableField(std::string group, int bit) {
    const std::string key = "enabled";
    Field f{std::move(group), key, {}, {key}, {}};
    const auto mask = static_cast<std::uint8_t>(1u << bit);
    f.write = [key, mask](const ConfigRecord& r) {
        return std::pair{key, std::string((r.enableByte & mask) ? "true" : "false")};
    };
    f.read = [key, mask](const Json& g, ConfigRecord& r) {
        bool on = false;
        Fault fault = needBool(member(g, key), on);
        if (fault.empty()) {
            r.enableByte =
                static_cast<std::uint8_t>(on ? (r.enableByte | mask) : (r.enableByte & ~mask));
        }
        return fault;
    };
    return f;
}

// A list item chosen by its text; an index that names no item is written under `indexKey`
// and kept as it is.
Field choiceField(std::string group, std::string key, std::string indexKey,
                  std::vector<std::string> items, std::function<int(const ConfigRecord&)> get,
                  std::function<void(ConfigRecord&, int)> set, int maxIndex) {
    Field f{std::move(group), key, {}, {key}, {}};
    if (!indexKey.empty()) {
        f.keys.push_back(indexKey);
    }
    f.write = [key, indexKey, items, get](const ConfigRecord& r) {
        const int index = get(r);
        if (index >= 0 && index < static_cast<int>(items.size())) {
            return std::pair{key, items[static_cast<std::size_t>(index)]};
        }
        return std::pair{indexKey, std::to_string(index)};
    };
    f.read = [key, indexKey, items, set, maxIndex](const Json& g, ConfigRecord& r) -> Fault {
        const Json* value = member(g, key);
        if (value && !indexKey.empty() && member(g, indexKey)) {
            return "give " + key + " or " + indexKey + ", not both";
        }
        if (!value && !indexKey.empty() && member(g, indexKey)) {
            std::int64_t index = 0;
            Fault fault = needInteger(member(g, indexKey), 0, maxIndex, index);
            if (fault.empty()) {
                set(r, static_cast<int>(index));
            }
            return fault;
        }
        if (!value) {
            return "missing";
        }
        std::string allowed;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::string& item = items[i];
            const bool numeric = !item.empty() && item[0] >= '0' && item[0] <= '9';
            const bool matches = numeric ? value->type == Json::Type::Number && value->text == item
                                         : value->type == Json::Type::String && value->text == item;
            if (matches) {
                set(r, static_cast<int>(i));
                return {};
            }
            allowed += (i ? ", " : "") + item;
        }
        const std::string shown =
            value->type == Json::Type::String ? quoted(value->text) : value->text;
        return (shown.empty() ? std::string("the value") : shown) + " is not one of " + allowed;
    };
    // Items that are numbers are written as JSON numbers, the others as strings.
    auto write = f.write;
    f.write = [write](const ConfigRecord& r) {
        auto [k, v] = write(r);
        const bool numeric = !v.empty() && ((v[0] >= '0' && v[0] <= '9') || v[0] == '-');
        return std::pair{k, numeric ? v : quoted(v)};
    };
    return f;
}

Field textField(std::string group, std::string key, UnitText ConfigRecord::*member_) {
    Field f{std::move(group), key, {}, {key}, {}};
    f.write = [key, member_](const ConfigRecord& r) {
        std::string text = unitTextFrom16(r.*member_);
        // The unit pads with blanks; the file leaves them out, the record puts them back.
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        return std::pair{key, quoted(text)};
    };
    f.read = [key, member_](const Json& g, ConfigRecord& r) -> Fault {
        const Json* value = member(g, key);
        if (!value) {
            return "missing";
        }
        if (value->type != Json::Type::String) {
            return "must be a text";
        }
        if (utf8Length(value->text) > kUnitTextSize) {
            return "longer than " + std::to_string(kUnitTextSize) + " characters";
        }
        if (decodeCp1251(encodeCp1251(value->text)) != value->text) {
            return "holds a character the unit cannot store (Windows-1251 only)";
        }
        r.*member_ = unitText16(value->text);
        return {};
    };
    return f;
}

constexpr std::int64_t kMaxTenthsWord = 65535;
constexpr std::int64_t kMaxDelayTenths = 255;

const std::vector<std::string> kPhaseSetNames = {"A/B/C", "A/B", "A/C", "A"};

template <typename T> std::function<std::int64_t(const ConfigRecord&)> getter(T ConfigRecord::*m) {
    return [m](const ConfigRecord& r) { return static_cast<std::int64_t>(r.*m); };
}
template <typename T> std::function<void(ConfigRecord&, std::int64_t)> setter(T ConfigRecord::*m) {
    return [m](ConfigRecord& r, std::int64_t v) { r.*m = static_cast<T>(v); };
}

// The control byte's parts, changed one at a time.
Field controlField(std::string group, std::string key, std::vector<std::string> items,
                   std::function<int(const ControlFields&)> get,
                   std::function<void(ControlFields&, int)> set) {
    return choiceField(
        std::move(group), std::move(key), "", std::move(items),
        [get](const ConfigRecord& r) { return get(decomposeControlByte(r.controlByte)); },
        [set](ConfigRecord& r, int index) {
            ControlFields c = decomposeControlByte(r.controlByte);
            set(c, index);
            r.controlByte =
                composeControlByte(c.isoIndex, c.isoOn, c.voltageItem, c.currentItem, c.blockOn);
        },
        0);
}

Field controlFlag(std::string group, std::string key, bool ControlFields::*flag) {
    Field f{std::move(group), key, {}, {key}, {}};
    f.write = [key, flag](const ConfigRecord& r) {
        return std::pair{key,
                         std::string(decomposeControlByte(r.controlByte).*flag ? "true" : "false")};
    };
    f.read = [key, flag](const Json& g, ConfigRecord& r) {
        bool on = false;
        Fault fault = needBool(member(g, key), on);
        if (fault.empty()) {
            ControlFields c = decomposeControlByte(r.controlByte);
            c.*flag = on;
            r.controlByte =
                composeControlByte(c.isoIndex, c.isoOn, c.voltageItem, c.currentItem, c.blockOn);
        }
        return fault;
    };
    return f;
}

std::vector<std::string> speedItems() {
    std::vector<std::string> items;
    for (int i = 0; i < kSpeedCount; ++i) {
        items.push_back(std::to_string(baudForIndex(i)));
    }
    return items;
}

const std::vector<Field>& fields() {
    static const std::vector<Field> table = [] {
        std::vector<Field> t;
        t.push_back(choiceField(
            "rs485", "speed_baud", "speed_index", speedItems(),
            [](const ConfigRecord& r) { return int{r.rs485SpeedIndex}; },
            [](ConfigRecord& r, int i) { r.rs485SpeedIndex = static_cast<std::uint8_t>(i); }, 255));
        t.push_back(choiceField(
            "rs485", "protocol", "protocol_index", {"RURUDE", "ZEVERE"},
            [](const ConfigRecord& r) { return int{r.busProtocolIndex}; },
            [](ConfigRecord& r, int i) { r.busProtocolIndex = static_cast<std::uint8_t>(i); },
            255));
        t.push_back(integerField("rs485", "address", 1, 247, getter(&ConfigRecord::busAddress),
                                 setter(&ConfigRecord::busAddress)));
        t.push_back(integerField("rs485", "tb_ms", 3, 200, getter(&ConfigRecord::tbMs),
                                 setter(&ConfigRecord::tbMs)));
        t.push_back(integerField("rs485", "te_ms", 2, 99, getter(&ConfigRecord::teMs),
                                 setter(&ConfigRecord::teMs)));

        t.push_back(controlFlag("protection_block", "enabled", &ControlFields::blockOn));
        t.push_back(integerField("protection_block", "reset_lock_s", 1, 999,
                                 getter(&ConfigRecord::resetLockSeconds),
                                 setter(&ConfigRecord::resetLockSeconds)));

        t.push_back(enableField("umin", 0));
        t.push_back(integerField("umin", "threshold_v", 100, 6000, getter(&ConfigRecord::uminVolts),
                                 setter(&ConfigRecord::uminVolts)));
        t.push_back(tenthsField("umin", "delay_s", 0, kMaxDelayTenths,
                                getter(&ConfigRecord::uminDelayTenths),
                                setter(&ConfigRecord::uminDelayTenths)));
        t.push_back(enableField("umax", 1));
        t.push_back(integerField("umax", "threshold_v", 100, 7000, getter(&ConfigRecord::umaxVolts),
                                 setter(&ConfigRecord::umaxVolts)));
        t.push_back(tenthsField("umax", "delay_s", 0, kMaxDelayTenths,
                                getter(&ConfigRecord::umaxDelayTenths),
                                setter(&ConfigRecord::umaxDelayTenths)));
        t.push_back(enableField("u_asymmetry", 2));
        t.push_back(integerField("u_asymmetry", "threshold_percent", 1, 99,
                                 getter(&ConfigRecord::uAsymPercent),
                                 setter(&ConfigRecord::uAsymPercent)));
        t.push_back(tenthsField("u_asymmetry", "delay_s", 0, kMaxDelayTenths,
                                getter(&ConfigRecord::uAsymDelayTenths),
                                setter(&ConfigRecord::uAsymDelayTenths)));
        t.push_back(enableField("idle_current", 3));
        t.push_back(tenthsField("idle_current", "threshold_a", 0, kMaxTenthsWord,
                                getter(&ConfigRecord::iholTenths),
                                setter(&ConfigRecord::iholTenths)));
        t.push_back(integerField(
            "idle_current", "delay_s", 1, 999,
            [](const ConfigRecord& r) { return std::int64_t{r.iholDelayTenthsOfSecond / 10}; },
            [](ConfigRecord& r, std::int64_t v) {
                r.iholDelayTenthsOfSecond = static_cast<std::uint16_t>(v * 10);
            }));
        t.push_back(enableField("i_asymmetry", 4));
        t.push_back(integerField("i_asymmetry", "threshold_percent", 1, 99,
                                 getter(&ConfigRecord::iAsymPercent),
                                 setter(&ConfigRecord::iAsymPercent)));
        t.push_back(tenthsField("i_asymmetry", "delay_s", 0, kMaxDelayTenths,
                                getter(&ConfigRecord::iAsymDelayTenths),
                                setter(&ConfigRecord::iAsymDelayTenths)));
        t.push_back(enableField("overload", 5));
        t.push_back(tenthsField("overload", "nominal_current_a", 0, kMaxTenthsWord,
                                getter(&ConfigRecord::inomTenths),
                                setter(&ConfigRecord::inomTenths)));
        t.push_back(integerField(
            "overload", "time_s", 1, 999,
            [](const ConfigRecord& r) { return std::int64_t{r.vtzTenthsOfSecond / 10}; },
            [](ConfigRecord& r, std::int64_t v) {
                r.vtzTenthsOfSecond = static_cast<std::uint16_t>(v * 10);
            }));
        t.push_back(enableField("locked_rotor", 6));
        t.push_back(tenthsField("locked_rotor", "current_a", 0, kMaxTenthsWord,
                                getter(&ConfigRecord::izklTenths),
                                setter(&ConfigRecord::izklTenths)));
        t.push_back(tenthsField("locked_rotor", "delay_s", 0, kMaxDelayTenths,
                                getter(&ConfigRecord::izklDelayTenths),
                                setter(&ConfigRecord::izklDelayTenths)));
        t.push_back(enableField("leakage", 7));
        t.push_back(tenthsField("leakage", "current_a", 0, kMaxTenthsWord,
                                getter(&ConfigRecord::idifTenths),
                                setter(&ConfigRecord::idifTenths)));
        t.push_back(tenthsField("leakage", "delay_s", 0, kMaxDelayTenths,
                                getter(&ConfigRecord::idifDelayTenths),
                                setter(&ConfigRecord::idifDelayTenths)));

        t.push_back(controlFlag("insulation", "enabled", &ControlFields::isoOn));
        t.push_back(controlField(
            "insulation", "threshold_kohm", {"50", "100", "250", "500"},
            [](const ControlFields& c) { return c.isoIndex; },
            [](ControlFields& c, int i) { c.isoIndex = i; }));
        t.push_back(controlField(
            "phase_monitoring", "voltage", kPhaseSetNames,
            [](const ControlFields& c) { return c.voltageItem; },
            [](ControlFields& c, int i) { c.voltageItem = i; }));
        t.push_back(controlField(
            "phase_monitoring", "current", kPhaseSetNames,
            [](const ControlFields& c) { return c.currentItem; },
            [](ControlFields& c, int i) { c.currentItem = i; }));

        static const char* const kChannels[kCoefficientCount] = {"ua", "ub", "uc",  "ia",
                                                                 "ib", "ic", "idif"};
        for (std::size_t i = 0; i < kCoefficientCount; ++i) {
            t.push_back(integerField(
                "calibration", std::string(kChannels[i]) + "_coefficient", 0, kMaxWord,
                [i](const ConfigRecord& r) { return std::int64_t{r.coefficients[i]}; },
                [i](ConfigRecord& r, std::int64_t v) {
                    r.coefficients[i] = static_cast<std::uint16_t>(v);
                }));
        }
        t.push_back(integerField(
            "calibration", "cos_f_correction", -75, 75,
            [](const ConfigRecord& r) {
                return std::int64_t{decodeCosCorrection(r.cosCorrectionByte)};
            },
            [](ConfigRecord& r, std::int64_t v) {
                r.cosCorrectionByte = encodeCosCorrection(static_cast<int>(v));
            }));

        t.push_back(textField("texts", "equipment_type", &ConfigRecord::equipmentType));
        t.push_back(textField("texts", "installation", &ConfigRecord::installation));
        return t;
    }();
    return table;
}

std::vector<std::string> groupOrder() {
    std::vector<std::string> order;
    for (const Field& f : fields()) {
        if (std::find(order.begin(), order.end(), f.group) == order.end()) {
            order.push_back(f.group);
        }
    }
    return order;
}

constexpr std::string_view kFormatName = "torl7-settings";
constexpr int kFormatVersion = 1;

std::int64_t clampTo(std::int64_t v, std::int64_t lo, std::int64_t hi) {
    return std::clamp(v, lo, hi);
}

} // namespace

std::string_view toolVersion() {
    return TORL7_VERSION;
}

ConfigRecord asPageHolds(const ConfigRecord& in) {
    ConfigRecord r = in;
    r.uminVolts = static_cast<std::uint16_t>(clampTo(r.uminVolts, 100, 6000));
    r.umaxVolts = static_cast<std::uint16_t>(clampTo(r.umaxVolts, 100, 7000));
    r.uAsymPercent = static_cast<std::uint8_t>(clampTo(r.uAsymPercent, 1, 99));
    r.iAsymPercent = static_cast<std::uint8_t>(clampTo(r.iAsymPercent, 1, 99));
    r.iholDelayTenthsOfSecond =
        static_cast<std::uint16_t>(clampTo(r.iholDelayTenthsOfSecond / 10, 1, 999) * 10);
    r.vtzTenthsOfSecond =
        static_cast<std::uint16_t>(clampTo(r.vtzTenthsOfSecond / 10, 1, 999) * 10);
    r.cosCorrectionByte = encodeCosCorrection(
        static_cast<int>(clampTo(decodeCosCorrection(r.cosCorrectionByte), -75, 75)));
    r.busAddress = static_cast<std::uint8_t>(clampTo(r.busAddress, 1, 247));
    r.tbMs = static_cast<std::uint8_t>(clampTo(r.tbMs, 3, 200));
    r.teMs = static_cast<std::uint8_t>(clampTo(r.teMs, 2, 99));
    r.resetLockSeconds = static_cast<std::uint16_t>(clampTo(r.resetLockSeconds, 1, 999));
    return r;
}

std::string writeSettingsFile(const ConfigRecord& record, const SettingsProvenance& provenance) {
    std::string out = "{\n";
    out += "  \"format\": " + quoted(kFormatName) + ",\n";
    out += "  \"format_version\": " + std::to_string(kFormatVersion) + ",\n";
    out += "  \"provenance\": {";
    std::vector<std::string> origin;
    if (provenance.unit) {
        origin.push_back("\"unit\": " + std::to_string(*provenance.unit));
    }
    if (!provenance.readAt.empty()) {
        origin.push_back("\"read_at\": " + quoted(provenance.readAt));
    }
    if (!provenance.firmware.empty()) {
        origin.push_back("\"firmware\": " + quoted(provenance.firmware));
    }
    if (!provenance.toolVersion.empty()) {
        origin.push_back("\"tool_version\": " + quoted(provenance.toolVersion));
    }
    for (std::size_t i = 0; i < origin.size(); ++i) {
        out += (i ? ",\n    " : "\n    ") + origin[i];
    }
    out += origin.empty() ? "}" : "\n  }";
    for (const std::string& group : groupOrder()) {
        out += ",\n  " + quoted(group) + ": {";
        bool first = true;
        for (const Field& f : fields()) {
            if (f.group != group) {
                continue;
            }
            const auto [key, value] = f.write(record);
            out += (first ? "\n    " : ",\n    ") + quoted(key) + ": " + value;
            first = false;
        }
        out += "\n  }";
    }
    out += "\n}\n";
    return out;
}

SettingsReadResult readSettingsFile(std::string_view text) {
    SettingsReadResult result;
    auto fault = [&](std::string field, std::string error) {
        result.field = std::move(field);
        result.error = std::move(error);
        return result;
    };
    std::string parseError;
    const auto document = JsonParser(text).parseDocument(parseError);
    if (!document) {
        return fault("", "not a JSON document: " + parseError);
    }
    if (document->type != Json::Type::Object) {
        return fault("", "the document is not a JSON object");
    }
    const Json* format = document->find("format");
    if (!format || format->type != Json::Type::String || format->text != kFormatName) {
        return fault("format", "must be \"" + std::string(kFormatName) + "\"");
    }
    const Json* version = document->find("format_version");
    if (!version || version->type != Json::Type::Number || version->text != "1") {
        return fault("format_version", "must be 1");
    }

    SettingsFile file;
    if (const Json* origin = document->find("provenance")) {
        if (origin->type != Json::Type::Object) {
            return fault("provenance", "must be an object");
        }
        if (const Json* unit = origin->find("unit")) {
            std::int64_t number = 0;
            Fault f = needInteger(unit, 100, 65535, number);
            if (!f.empty()) {
                return fault("provenance.unit", f);
            }
            file.provenance.unit = static_cast<int>(number);
        }
        const std::pair<const char*, std::string SettingsProvenance::*> texts[] = {
            {"read_at", &SettingsProvenance::readAt},
            {"firmware", &SettingsProvenance::firmware},
            {"tool_version", &SettingsProvenance::toolVersion}};
        for (const auto& [key, target] : texts) {
            if (const Json* value = origin->find(key)) {
                if (value->type != Json::Type::String) {
                    return fault(std::string("provenance.") + key, "must be a text");
                }
                file.provenance.*target = value->text;
            }
        }
    }

    const std::vector<std::string> groups = groupOrder();
    for (const auto& [name, value] : document->members) {
        const bool known = name == "format" || name == "format_version" || name == "provenance" ||
                           std::find(groups.begin(), groups.end(), name) != groups.end();
        if (!known) {
            return fault(name, "unknown field");
        }
    }
    for (const std::string& group : groups) {
        const Json* object = document->find(group);
        if (!object) {
            return fault(group, "missing");
        }
        if (object->type != Json::Type::Object) {
            return fault(group, "must be an object");
        }
        for (const auto& member : object->members) {
            // A plain reference, not a structured binding: clang 14 cannot capture one.
            const std::string& name = member.first;
            const bool known = std::any_of(fields().begin(), fields().end(), [&](const Field& f) {
                return f.group == group &&
                       std::find(f.keys.begin(), f.keys.end(), name) != f.keys.end();
            });
            if (!known) {
                return fault(group + "." + name, "unknown field");
            }
        }
    }
    for (const Field& f : fields()) {
        const Fault error = f.read(*document->find(f.group), file.record);
        if (!error.empty()) {
            return fault(f.name(), error);
        }
    }
    result.file = std::move(file);
    return result;
}

std::vector<FieldDifference> compareSettings(const ConfigRecord& expected,
                                             const ConfigRecord& actual) {
    std::vector<FieldDifference> differences;
    for (const Field& f : fields()) {
        const auto [expectedKey, expectedValue] = f.write(expected);
        const auto [actualKey, actualValue] = f.write(actual);
        if (expectedKey != actualKey || expectedValue != actualValue) {
            differences.push_back({f.name(), expectedValue, actualValue});
        }
    }
    return differences;
}

} // namespace torl7
