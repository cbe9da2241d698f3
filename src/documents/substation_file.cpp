#include "documents/substation_file.hpp"

#include "documents/strict_json.hpp"
#include "protocol/config_fields.hpp"
#include "protocol/frame.hpp"
#include "protocol/line_speed.hpp"

#include <algorithm>
#include <set>

namespace torl7 {

namespace {

constexpr std::string_view kFormat = "torl7-substation";
constexpr int kFormatVersion = 1;
// Member names of the document and of its lines and units.
const std::set<std::string> kRootMembers = {"format", "format_version", "name", "lines", "units"};
const std::set<std::string> kLineMembers = {"id", "port", "speed_baud"};
const std::set<std::string> kUnitMembers = {"number", "line",  "switchgear",
                                            "bay",    "motor", "commissioned"};

bool knownMember(const std::vector<std::string>& path, const std::string& name) {
    if (path.empty()) {
        return kRootMembers.contains(name);
    }
    if (path == std::vector<std::string>{"lines", "[]"}) {
        return kLineMembers.contains(name);
    }
    if (path == std::vector<std::string>{"units", "[]"}) {
        return kUnitMembers.contains(name);
    }
    return false;
}

// A fault found in the parsed document, at the member it concerns.
struct Fault {
    std::string path; // "units/3/number"
    std::string english;
    std::string russian;
};

bool hasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

class Reader {
public:
    explicit Reader(const StrictJson& document) : document_(document) {}

    std::optional<Fault> read(Substation& out) {
        if (!document_.is_object()) {
            return Fault{"", "the document is not an object", "документ не является объектом"};
        }
        if (const auto format = member(document_, "format"); !format || *format != kFormat) {
            return Fault{"format", "\"format\" must be \"torl7-substation\"",
                         "\"format\" должно быть \"torl7-substation\""};
        }
        if (const auto version = member(document_, "format_version");
            !version || *version != kFormatVersion) {
            return Fault{"format_version", "\"format_version\" must be 1",
                         "\"format_version\" должно быть 1"};
        }
        if (auto fault = text(document_, "", "name", out.name, false)) {
            return fault;
        }
        for (const char* list : {"lines", "units"}) {
            const auto found = document_.find(list);
            if (found == document_.end() || !found->is_array()) {
                return Fault{list, std::string("\"") + list + "\" must be a list",
                             std::string("\"") + list + "\" должно быть списком"};
            }
        }
        const StrictJson& lines = document_["lines"];
        for (std::size_t i = 0; i < lines.size(); ++i) {
            SubstationLine line;
            if (auto fault = readLine(lines[i], "lines/" + std::to_string(i), out, line)) {
                return fault;
            }
            out.lines.push_back(std::move(line));
        }
        const StrictJson& units = document_["units"];
        for (std::size_t i = 0; i < units.size(); ++i) {
            SubstationUnit unit;
            if (auto fault = readUnit(units[i], "units/" + std::to_string(i), out, unit)) {
                return fault;
            }
            out.units.push_back(std::move(unit));
        }
        return std::nullopt;
    }

private:
    static std::optional<StrictJson> member(const StrictJson& object, const char* name) {
        const auto found = object.find(name);
        return found == object.end() ? std::nullopt : std::optional<StrictJson>(*found);
    }

    static std::string join(const std::string& at, const char* name) {
        return at.empty() ? name : at + "/" + name;
    }

    // A text member: absent is empty unless `required`; one line of text.
    static std::optional<Fault> text(const StrictJson& object, const std::string& at,
                                     const char* name, std::string& out, bool required) {
        const auto found = object.find(name);
        if (found == object.end()) {
            if (required) {
                return Fault{at, std::string("\"") + name + "\" is missing",
                             std::string("нет поля \"") + name + "\""};
            }
            return std::nullopt;
        }
        if (!found->is_string()) {
            return Fault{join(at, name), std::string("\"") + name + "\" must be a text",
                         std::string("\"") + name + "\" должно быть текстом"};
        }
        out = found->get<std::string>();
        if (hasControlCharacter(out) || (required && out.empty())) {
            return Fault{join(at, name),
                         std::string("\"") + name + "\" must be one line of text, not empty",
                         std::string("\"") + name + "\" должно быть непустой строкой текста"};
        }
        return std::nullopt;
    }

    static std::optional<Fault> integer(const StrictJson& object, const std::string& at,
                                        const char* name, int min, int max, int& out) {
        const auto found = object.find(name);
        if (found == object.end()) {
            return Fault{at, std::string("\"") + name + "\" is missing",
                         std::string("нет поля \"") + name + "\""};
        }
        if (!found->is_number_integer() || found->get<std::int64_t>() < min ||
            found->get<std::int64_t>() > max) {
            const std::string range = std::to_string(min) + ".." + std::to_string(max);
            return Fault{join(at, name),
                         std::string("\"") + name + "\" must be a whole number " + range,
                         std::string("\"") + name + "\" должно быть целым числом " + range};
        }
        out = static_cast<int>(found->get<std::int64_t>());
        return std::nullopt;
    }

    static std::optional<Fault> readLine(const StrictJson& object, const std::string& at,
                                         const Substation& so, SubstationLine& line) {
        if (!object.is_object()) {
            return Fault{at, "a line must be an object", "линия должна быть объектом"};
        }
        if (auto fault = text(object, at, "id", line.id, true)) {
            return fault;
        }
        if (so.line(line.id)) {
            return Fault{join(at, "id"), "line \"" + line.id + "\" given twice",
                         "линия \"" + line.id + "\" указана дважды"};
        }
        if (auto fault = text(object, at, "port", line.port, true)) {
            return fault;
        }
        if (auto fault = integer(object, at, "speed_baud", 300, 115200, line.baud)) {
            return fault;
        }
        const auto& speeds = fields::kSpeeds;
        if (std::none_of(std::begin(speeds), std::end(speeds),
                         [&](std::string_view s) { return s == std::to_string(line.baud); })) {
            return Fault{join(at, "speed_baud"),
                         "\"speed_baud\" must be one of 300, 600, 1200, 2400, 4800, 9600, 14400, "
                         "19200, 38400, 57600, 115200",
                         "\"speed_baud\" должно быть одной из скоростей 300 ... 115200"};
        }
        return std::nullopt;
    }

    static std::optional<Fault> readUnit(const StrictJson& object, const std::string& at,
                                         const Substation& so, SubstationUnit& unit) {
        if (!object.is_object()) {
            return Fault{at, "a unit must be an object", "устройство должно быть объектом"};
        }
        if (auto fault =
                integer(object, at, "number", kMinFactoryNumber, kMaxFactoryNumber, unit.number)) {
            return fault;
        }
        if (so.unit(unit.number)) {
            const std::string n = std::to_string(unit.number);
            return Fault{join(at, "number"), "unit " + n + " given twice",
                         "устройство " + n + " указано дважды"};
        }
        if (auto fault = text(object, at, "line", unit.line, true)) {
            return fault;
        }
        if (!so.line(unit.line)) {
            return Fault{join(at, "line"), "no line \"" + unit.line + "\" in \"lines\"",
                         "в \"lines\" нет линии \"" + unit.line + "\""};
        }
        for (const auto& [name, target] : {std::pair{"switchgear", &SubstationUnit::switchgear},
                                           {"bay", &SubstationUnit::bay},
                                           {"motor", &SubstationUnit::motor},
                                           {"commissioned", &SubstationUnit::commissioned}}) {
            if (auto fault = text(object, at, name, unit.*target, false)) {
                return fault;
            }
        }
        return std::nullopt;
    }

    const StrictJson& document_;
};

} // namespace

const SubstationLine* Substation::line(std::string_view id) const {
    const auto found = std::find_if(lines.begin(), lines.end(),
                                    [&](const SubstationLine& l) { return l.id == id; });
    return found == lines.end() ? nullptr : &*found;
}

const SubstationUnit* Substation::unit(int number) const {
    const auto found = std::find_if(units.begin(), units.end(),
                                    [&](const SubstationUnit& u) { return u.number == number; });
    return found == units.end() ? nullptr : &*found;
}

std::string Substation::title(const SubstationUnit& unit) {
    std::string out;
    for (const std::string* part : {&unit.switchgear, &unit.bay, &unit.motor}) {
        if (!part->empty()) {
            out += (out.empty() ? "" : ", ") + *part;
        }
    }
    return out;
}

SubstationRead readSubstationFile(std::string_view text) {
    SubstationRead result;
    JsonPlaces places;
    const auto document =
        parseStrictJson(text, result.error, &result.errorRussian, knownMember, &places);
    if (!document) {
        return result;
    }
    Substation substation;
    if (const auto fault = Reader(*document).read(substation)) {
        result.error = fault->english + places.at(fault->path);
        result.errorRussian = fault->russian + places.russianAt(fault->path);
        return result;
    }
    result.substation = std::move(substation);
    return result;
}

std::string writeSubstationFile(const Substation& substation) {
    StrictJson document = {{"format", kFormat},
                           {"format_version", kFormatVersion},
                           {"name", substation.name},
                           {"lines", StrictJson::array()},
                           {"units", StrictJson::array()}};
    for (const SubstationLine& line : substation.lines) {
        document["lines"].push_back(
            {{"id", line.id}, {"port", line.port}, {"speed_baud", line.baud}});
    }
    for (const SubstationUnit& unit : substation.units) {
        StrictJson entry = {{"number", unit.number}, {"line", unit.line}};
        for (const auto& [name, value] : {std::pair{"switchgear", &unit.switchgear},
                                          {"bay", &unit.bay},
                                          {"motor", &unit.motor},
                                          {"commissioned", &unit.commissioned}}) {
            if (!value->empty()) {
                entry[name] = *value;
            }
        }
        document["units"].push_back(std::move(entry));
    }
    return document.dump(2) + "\n";
}

int addFoundUnits(Substation& substation, const std::string& port, int baud,
                  const std::vector<int>& numbers) {
    auto line = std::find_if(substation.lines.begin(), substation.lines.end(),
                             [&](const SubstationLine& l) { return l.port == port; });
    std::string id;
    if (line == substation.lines.end()) {
        for (int n = static_cast<int>(substation.lines.size()) + 1;
             id.empty() || substation.line(id); ++n) {
            id = "line" + std::to_string(n);
        }
        substation.lines.push_back({id, port, baud});
    } else {
        id = line->id;
    }
    int added = 0;
    for (const int number : numbers) {
        if (!substation.unit(number)) {
            substation.units.push_back({number, id, {}, {}, {}, {}});
            ++added;
        }
    }
    return added;
}

namespace {

void dropLineIfUnused(Substation& substation, const std::string& id) {
    if (std::none_of(substation.units.begin(), substation.units.end(),
                     [&](const SubstationUnit& u) { return u.line == id; })) {
        std::erase_if(substation.lines, [&](const SubstationLine& l) { return l.id == id; });
    }
}

} // namespace

std::string placeUnit(Substation& substation, const SubstationUnit& unit,
                      const SubstationLine& line, int replacing) {
    const std::string number = std::to_string(unit.number);
    if (unit.number < kMinFactoryNumber || unit.number > kMaxFactoryNumber) {
        return "Заводской номер должен быть от " + std::to_string(kMinFactoryNumber) + " до " +
               std::to_string(kMaxFactoryNumber);
    }
    if (unit.number != replacing && substation.unit(unit.number)) {
        return "Устройство № " + number + " уже есть в файле подстанции";
    }
    if (replacing != 0 && !substation.unit(replacing)) {
        return "Устройства № " + std::to_string(replacing) + " нет в файле подстанции";
    }
    if (line.id.empty() || hasControlCharacter(line.id)) {
        return "Имя линии должно быть непустой строкой текста";
    }
    if (line.port.empty() || hasControlCharacter(line.port)) {
        return "Порт линии должен быть непустой строкой текста";
    }
    if (indexForBaud(line.baud) < 0) {
        return "Скорость линии " + std::to_string(line.baud) + " бод/сек не поддерживается";
    }
    for (const std::string* name : {&unit.switchgear, &unit.bay, &unit.motor}) {
        if (hasControlCharacter(*name)) {
            return "Названия устройства должны быть строками текста без табуляций и переводов "
                   "строки";
        }
    }
    SubstationUnit placed = unit;
    placed.line = line.id;
    const auto known = std::find_if(substation.lines.begin(), substation.lines.end(),
                                    [&](const SubstationLine& l) { return l.id == line.id; });
    if (known == substation.lines.end()) {
        substation.lines.push_back(line);
    } else {
        *known = line;
    }
    const auto old = std::find_if(substation.units.begin(), substation.units.end(),
                                  [&](const SubstationUnit& u) { return u.number == replacing; });
    if (replacing == 0 || old == substation.units.end()) {
        substation.units.push_back(std::move(placed));
        return {};
    }
    const std::string oldLine = old->line;
    *old = std::move(placed);
    dropLineIfUnused(substation, oldLine);
    return {};
}

void removeUnit(Substation& substation, int number) {
    const SubstationUnit* unit = substation.unit(number);
    if (!unit) {
        return;
    }
    const std::string line = unit->line;
    std::erase_if(substation.units, [&](const SubstationUnit& u) { return u.number == number; });
    dropLineIfUnused(substation, line);
}

} // namespace torl7
