#include "documents/settings_file.hpp"

#include "documents/strict_json.hpp"
#include "protocol/config_fields.hpp"
#include "protocol/cp1251.hpp"
#include "protocol/encodings.hpp"

#include <algorithm>
#include <cmath>

namespace torl7 {

namespace {

// Objects keep their members in file order, so the first unknown member named is the first
// one in the file, and a file is written in the order of the field table.
using Json = StrictJson;

constexpr std::string_view kFormatName = "torl7-settings";
constexpr int kFormatVersion = 1;

// ---- The values of the fields. ----

std::string tenthsText(std::int64_t tenths) {
    const char* sign = tenths < 0 ? "-" : "";
    const std::int64_t magnitude = tenths < 0 ? -tenths : tenths;
    return sign + std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10);
}

std::string asText(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// A field fault, in English for the headless client and in Russian for the window; empty
// when the value was taken.
struct Fault {
    std::string english;
    std::string russian;
    bool empty() const { return english.empty(); }
};

const Fault kMissing{"missing", "нет в файле"};
const Fault kNotText{"must be a text", "должно быть текстом"};
const Fault kNotObject{"must be an object", "должно быть объектом"};
const Fault kUnknown{"unknown field", "неизвестное поле"};

// Numbers in Russian carry the decimal comma the window shows; the ".." of a range stays.
std::string withComma(std::string text) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '.' && digit(text[i - 1]) && digit(text[i + 1])) {
            text[i] = ',';
        }
    }
    return text;
}

Fault needInteger(const Json* value, std::int64_t min, std::int64_t max, std::int64_t& out) {
    if (!value) {
        return kMissing;
    }
    const double number = value->is_number() ? value->get<double>() : 0;
    const std::string from = std::to_string(min);
    const std::string to = std::to_string(max);
    if (!value->is_number() || number != std::floor(number)) {
        return {"must be a whole number from " + from + " to " + to,
                "должно быть целым числом от " + from + " до " + to};
    }
    if (number < static_cast<double>(min) || number > static_cast<double>(max)) {
        return {asText(*value) + " is outside " + from + ".." + to,
                withComma(asText(*value)) + " вне пределов " + from + ".." + to};
    }
    out = static_cast<std::int64_t>(number);
    return {};
}

Fault needTenths(const Json* value, std::int64_t minTenths, std::int64_t maxTenths,
                 std::int64_t& out) {
    if (!value) {
        return kMissing;
    }
    const std::string range = tenthsText(minTenths) + ".." + tenthsText(maxTenths);
    if (!value->is_number()) {
        return {"must be a number from " + range, "должно быть числом " + withComma(range)};
    }
    const double scaled = value->get<double>() * 10;
    const double rounded = std::round(scaled);
    const std::string given = asText(*value);
    if (std::fabs(scaled - rounded) > 1e-6) {
        return {given + " has more than one decimal",
                withComma(given) + ": больше одного знака после запятой"};
    }
    if (rounded < static_cast<double>(minTenths) || rounded > static_cast<double>(maxTenths)) {
        return {given + " is outside " + range,
                withComma(given) + " вне пределов " + withComma(range)};
    }
    out = static_cast<std::int64_t>(rounded);
    return {};
}

const Json* member(const Json& object, std::string_view key) {
    const auto found = object.find(std::string(key));
    return found == object.end() ? nullptr : &*found;
}

// Items that are numbers ("9600", "500") are written as JSON numbers, the others as texts.
bool isNumeric(std::string_view item) {
    return !item.empty() && item[0] >= '0' && item[0] <= '9';
}

struct WrittenValue {
    std::string key;
    Json value;
};

// The key and value a field is written with for this record. A list index that names no
// item is written as it is under the field's index key.
WrittenValue written(const ConfigField& f, const ConfigRecord& r) {
    switch (f.kind) {
    case FieldKind::Number:
        if (f.decimals == 1) {
            return {f.key(), static_cast<double>(stepsOf(f, r)) / 10};
        }
        return {f.key(), stepsOf(f, r)};
    case FieldKind::Flag:
        return {f.key(), f.access.get(r) != 0};
    case FieldKind::Choice: {
        const std::int64_t index = f.access.get(r);
        if (index < 0 || index >= static_cast<std::int64_t>(f.items.size())) {
            return {std::string(f.indexKey.empty() ? f.name : f.indexKey), index};
        }
        const std::string_view item = f.items[static_cast<std::size_t>(index)];
        return {f.key(),
                isNumeric(item) ? Json(std::stoll(std::string(item))) : Json(std::string(item))};
    }
    case FieldKind::Text: {
        std::string text = unitTextFrom16(r.*f.text);
        // The unit pads with blanks; the file leaves them out, the record puts them back.
        text.erase(text.find_last_not_of(' ') + 1);
        return {f.key(), text};
    }
    }
    return {};
}

Fault readChoice(const ConfigField& f, const Json& group, ConfigRecord& r) {
    const std::string key = f.key();
    const Json* value = member(group, key);
    const Json* index = f.indexKey.empty() ? nullptr : member(group, f.indexKey);
    if (value && index) {
        const std::string both = key + " или " + std::string(f.indexKey);
        return {"give " + key + " or " + std::string(f.indexKey) + ", not both",
                "нужно одно из двух: " + both};
    }
    if (index) {
        std::int64_t v = 0;
        Fault fault = needInteger(index, 0, f.max, v);
        if (fault.empty()) {
            f.access.set(r, v);
        }
        return fault;
    }
    if (!value) {
        return kMissing;
    }
    std::string allowed;
    for (std::size_t i = 0; i < f.items.size(); ++i) {
        const std::string_view item = f.items[i];
        const bool matches =
            isNumeric(item) ? value->is_number_integer() && asText(*value) == item
                            : value->is_string() && value->get_ref<const std::string&>() == item;
        if (matches) {
            f.access.set(r, static_cast<std::int64_t>(i));
            return {};
        }
        allowed += (i ? ", " : "") + std::string(item);
    }
    const bool showable = value->is_number() || value->is_string();
    return {(showable ? asText(*value) : std::string("the value")) + " is not one of " + allowed,
            (showable ? asText(*value) : std::string("значение")) + " не из списка " + allowed};
}

Fault readText(const ConfigField& f, const Json* value, ConfigRecord& r) {
    if (!value) {
        return kMissing;
    }
    if (!value->is_string()) {
        return kNotText;
    }
    const std::string& text = value->get_ref<const std::string&>();
    if (utf8Length(text) > kUnitTextSize) {
        const std::string size = std::to_string(kUnitTextSize);
        return {"longer than " + size + " characters", "длиннее " + size + " знаков"};
    }
    // A text of the unit is one line of characters: a line break, a NUL (which ends the text
    // early where it is read as a C string) or another control character has no place in it;
    // only the tab is let through.
    if (std::any_of(text.begin(), text.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return (byte < 0x20 && byte != '\t') || byte == 0x7F;
        })) {
        return {"holds a control character (only the tab is allowed)",
                "содержит управляющий знак (допустима только табуляция)"};
    }
    if (decodeCp1251(encodeCp1251(text)) != text) {
        return {"holds a character the unit cannot store (Windows-1251 only)",
                "содержит знак, которого устройство не хранит (только Windows-1251)"};
    }
    r.*f.text = unitText16(text);
    return {};
}

Fault readField(const ConfigField& f, const Json& group, ConfigRecord& r) {
    const Json* value = member(group, f.key());
    std::int64_t v = 0;
    Fault fault;
    switch (f.kind) {
    case FieldKind::Number:
        fault = f.decimals == 1 ? needTenths(value, f.min, f.max, v)
                                : needInteger(value, f.min, f.max, v);
        if (fault.empty()) {
            setSteps(f, r, v);
        }
        return fault;
    case FieldKind::Flag:
        if (!value) {
            return kMissing;
        }
        if (!value->is_boolean()) {
            return {"must be true or false", "должно быть true или false"};
        }
        f.access.set(r, value->get<bool>() ? 1 : 0);
        return {};
    case FieldKind::Choice:
        return readChoice(f, group, r);
    case FieldKind::Text:
        return readText(f, value, r);
    }
    return {};
}

bool isKeyOf(const ConfigField& f, std::string_view key) {
    return f.hasKey(key) || (!f.indexKey.empty() && f.indexKey == key);
}

std::vector<std::string_view> groupOrder() {
    std::vector<std::string_view> order;
    for (const ConfigField& f : kConfigFields) {
        if (std::find(order.begin(), order.end(), f.group) == order.end()) {
            order.push_back(f.group);
        }
    }
    return order;
}

// The first fault of the document's own members, with the field it names.
struct NamedFault {
    std::string field;
    Fault error;
};

NamedFault readProvenance(const Json& document, SettingsProvenance& provenance) {
    const Json* origin = member(document, "provenance");
    if (!origin) {
        return {};
    }
    if (!origin->is_object()) {
        return {"provenance", kNotObject};
    }
    if (const Json* unit = member(*origin, "unit")) {
        std::int64_t number = 0;
        Fault f = needInteger(unit, 100, 65535, number);
        if (!f.empty()) {
            return {"provenance.unit", f};
        }
        provenance.unit = static_cast<int>(number);
    }
    struct TextMember {
        const char* key;
        std::string SettingsProvenance::*target;
    };
    const TextMember texts[] = {{"read_at", &SettingsProvenance::readAt},
                                {"firmware", &SettingsProvenance::firmware},
                                {"tool_version", &SettingsProvenance::toolVersion}};
    for (const TextMember& text : texts) {
        if (const Json* value = member(*origin, text.key)) {
            if (!value->is_string()) {
                return {std::string("provenance.") + text.key, kNotText};
            }
            provenance.*text.target = value->get<std::string>();
        }
    }
    return {};
}

// Every member of the document and of its objects is one the file can hold.
NamedFault unknownMember(const Json& document) {
    const std::vector<std::string_view> groups = groupOrder();
    for (const auto& item : document.items()) {
        const std::string& name = item.key();
        const bool known = name == "format" || name == "format_version" || name == "provenance" ||
                           std::find(groups.begin(), groups.end(), name) != groups.end();
        if (!known) {
            return {name, kUnknown};
        }
    }
    for (const std::string_view group : groups) {
        const Json* object = member(document, group);
        if (!object) {
            return {std::string(group), kMissing};
        }
        if (!object->is_object()) {
            return {std::string(group), kNotObject};
        }
        for (const auto& item : object->items()) {
            const std::string& name = item.key();
            const bool known =
                std::any_of(kConfigFields.begin(), kConfigFields.end(), [&](const ConfigField& f) {
                    return f.group == group && isKeyOf(f, name);
                });
            if (!known) {
                return {std::string(group) + "." + name, kUnknown};
            }
        }
    }
    return {};
}

} // namespace

std::string_view toolVersion() {
    return TORL7_VERSION;
}

SettingsProvenance provenanceOf(std::optional<int> unit, std::string readAt, std::string firmware) {
    return {unit, std::move(readAt), withoutPadding(std::move(firmware)),
            std::string(toolVersion())};
}

ConfigRecord asPageHolds(const ConfigRecord& in) {
    ConfigRecord r = in;
    for (const ConfigField& f : kConfigFields) {
        if (f.spinEdit) {
            setSteps(f, r, std::clamp<std::int64_t>(stepsOf(f, r), f.min, f.max));
        }
    }
    return r;
}

std::string writeSettingsFile(const ConfigRecord& record, const SettingsProvenance& provenance) {
    Json document;
    document["format"] = std::string(kFormatName);
    document["format_version"] = kFormatVersion;
    Json origin = Json::object();
    if (provenance.unit) {
        origin["unit"] = *provenance.unit;
    }
    if (!provenance.readAt.empty()) {
        origin["read_at"] = provenance.readAt;
    }
    if (!provenance.firmware.empty()) {
        origin["firmware"] = provenance.firmware;
    }
    if (!provenance.toolVersion.empty()) {
        origin["tool_version"] = provenance.toolVersion;
    }
    document["provenance"] = std::move(origin);
    for (const ConfigField& f : kConfigFields) {
        WrittenValue w = written(f, record);
        document[std::string(f.group)][w.key] = std::move(w.value);
    }
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

SettingsReadResult readSettingsFile(std::string_view text) {
    SettingsReadResult result;
    auto fault = [&](std::string field, Fault error) {
        result.field = std::move(field);
        result.error = std::move(error.english);
        result.errorRussian = std::move(error.russian);
        return result;
    };
    std::string parseError;
    std::string parseErrorRussian;
    const auto document = parseStrictJson(text, parseError, &parseErrorRussian);
    if (!document) {
        return fault("", {"not a JSON document: " + parseError,
                          "это не документ JSON: " + parseErrorRussian});
    }
    if (!document->is_object()) {
        return fault("", {"the document is not a JSON object", "документ не объект JSON"});
    }
    const Json* format = member(*document, "format");
    if (!format || !format->is_string() || format->get_ref<const std::string&>() != kFormatName) {
        const std::string name = "\"" + std::string(kFormatName) + "\"";
        return fault("format", {"must be " + name, "должно быть " + name});
    }
    const Json* version = member(*document, "format_version");
    if (!version || !version->is_number_integer() || version->get<std::int64_t>() != 1) {
        return fault("format_version", {"must be 1", "должно быть 1"});
    }

    SettingsFile file;
    if (NamedFault f = readProvenance(*document, file.provenance); !f.error.empty()) {
        return fault(f.field, f.error);
    }
    if (NamedFault f = unknownMember(*document); !f.error.empty()) {
        return fault(f.field, f.error);
    }
    for (const ConfigField& f : kConfigFields) {
        const Fault error = readField(f, *member(*document, f.group), file.record);
        if (!error.empty()) {
            return fault(f.path(), error);
        }
    }
    result.file = std::move(file);
    return result;
}

std::vector<FieldDifference> compareSettings(const ConfigRecord& expected,
                                             const ConfigRecord& actual) {
    std::vector<FieldDifference> differences;
    for (const ConfigField& f : kConfigFields) {
        const WrittenValue want = written(f, expected);
        const WrittenValue got = written(f, actual);
        const std::string wantText = asText(want.value);
        const std::string gotText = asText(got.value);
        if (want.key != got.key || wantText != gotText) {
            differences.push_back({f.path(), wantText, gotText});
        }
    }
    return differences;
}

std::string russianValueText(std::string_view fileText) {
    if (fileText == "true") {
        return "да";
    }
    if (fileText == "false") {
        return "нет";
    }
    if (fileText.size() >= 2 && fileText.front() == '"' && fileText.back() == '"') {
        return std::string(fileText.substr(1, fileText.size() - 2));
    }
    return withComma(std::string(fileText));
}

} // namespace torl7
