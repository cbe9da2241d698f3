// The fields of the configuration record as a person sets them: the object of the settings
// file a field stands in, its key with the unit it is given in, the limits of the control
// that edits it on the configuration page, how the value a person reads scales to the record,
// the page's control that shows it and its row in the report's settings table. The settings
// file, the page (its spin ranges, its lists, the record it builds and shows) and both
// reports take all of this from this one table. Pure: no Qt.
#pragma once

#include "protocol/codecs/config_record_codec.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace torl7 {

enum class FieldKind {
    Number, // a whole number, or one with one decimal
    Flag,   // true or false
    Choice, // one item of a list, by its text
    Text,   // a text of the unit: up to 16 characters of Windows-1251
};

// The kind of control that shows a field on the configuration page.
enum class PageControl {
    SpinEdit,        // holds what it is given to min..max; a text that is no integer is min
    DelayText,       // a text of tenths of a second, changed by step buttons beside it
    CurrentEdit,     // a typed current in tenths of an ampere, five characters to type
    CoefficientEdit, // a typed whole number
    CheckBox,
    DropDown,
    TextEdit, // a text of the unit
};

// How a field's value is taken from and put into the record: the value with its bit field
// or sign coding undone, before scaling (an item index, or 0 and 1 for a flag).
struct RecordAccess {
    std::int64_t (*get)(const ConfigRecord&) = nullptr;
    void (*set)(ConfigRecord&, std::int64_t) = nullptr;
};

// A list's items as the page shows them, leading blanks included. An item's value, the text
// the settings file holds, is the item without its leading blanks: `items[i]`.
struct ListItems {
    std::span<const std::string_view> shown{};

    constexpr std::size_t size() const { return shown.size(); }
    constexpr std::string_view operator[](std::size_t index) const {
        std::string_view item = shown[index];
        item.remove_prefix(std::min(item.find_first_not_of(' '), item.size()));
        return item;
    }
};

// A received list index above `above` is shown as item `item`.
struct IndexFallback {
    int above = INT_MAX;
    int item = 0;
};

// Report rows are counted from 0, the first heading included; most fields have one.
inline constexpr int kNoReportRow = -1;

struct ConfigField {
    std::string_view group{}; // the object of the settings file that holds the field
    std::string_view name{};  // the key without its unit
    std::string_view unit{};  // the unit the key ends in ("v" gives "threshold_v"); may be empty
    FieldKind kind = FieldKind::Number;
    // Number: the limits, in steps of the last decimal. Choice: the highest index the index
    // key takes.
    int min = 0;
    int max = 0;
    int decimals = 0; // Number: 0 or 1
    // Number: the record's value per step; 10 where the record holds tenths of a second of
    // a time set in whole seconds (the rest is dropped when the value is shown).
    int scale = 1;
    PageControl control = PageControl::SpinEdit;
    RecordAccess access{};
    ListItems items{};                      // Choice: the list, in index order
    std::string_view indexKey{};            // Choice: the key of an index naming no item
    IndexFallback fallback{};               // Choice: an index the list shows as another
    UnitText ConfigRecord::*text = nullptr; // Text: the record's member
    std::string_view caption{};             // what the window calls the field, in Russian
    std::string_view controlName{};         // the objectName of the page's control
    int reportRow = kNoReportRow;           // the row of the report's settings table

    constexpr ConfigField titled(std::string_view russian) const {
        ConfigField f = *this;
        f.caption = russian;
        return f;
    }
    // Shown by the page's control `objectName`, and in the report's settings row `row`.
    constexpr ConfigField page(std::string_view objectName, int row = kNoReportRow) const {
        ConfigField f = *this;
        f.controlName = objectName;
        f.reportRow = row;
        return f;
    }
    constexpr ConfigField showingAbove(int above, int item) const {
        ConfigField f = *this;
        f.fallback = {above, item};
        return f;
    }

    // The key as the settings file writes it: the name, then the unit after '_'.
    std::string key() const;
    // The key with its object, as errors and differences name the field: "umin.threshold_v".
    std::string path() const;
    constexpr bool hasKey(std::string_view k) const {
        if (unit.empty()) {
            return k == name;
        }
        return k.size() == name.size() + 1 + unit.size() && k.starts_with(name) &&
               k[name.size()] == '_' && k.ends_with(unit);
    }
};

// A Number field's value in steps: the record's value divided by the scale.
std::int64_t stepsOf(const ConfigField& field, const ConfigRecord& record);
void setSteps(const ConfigField& field, ConfigRecord& record, std::int64_t steps);

// The item index a Choice field's list shows for the record: the record's index, or the
// fallback item for an index above the fallback's limit. An index past the list is returned as
// it is: the list shows no item then.
std::int64_t shownIndex(const ConfigField& field, const ConfigRecord& record);
// The text the field's control shows for the record: a number's steps (one decimal with the
// decimal comma where the field has one), a list's item with its leading blanks (nothing for an
// index past the list), a unit text whole with its padding. Empty for a flag. Spin edits show
// their value held to their limits; asPageHolds does that to a record.
std::string shownText(const ConfigField& field, const ConfigRecord& record);

namespace fields {

template <auto Member> std::int64_t readMember(const ConfigRecord& r) {
    return static_cast<std::int64_t>(r.*Member);
}
template <auto Member> void writeMember(ConfigRecord& r, std::int64_t v) {
    using T = std::remove_cvref_t<decltype(r.*Member)>;
    r.*Member = static_cast<T>(v);
}
template <auto Member>
inline constexpr RecordAccess member{&readMember<Member>, &writeMember<Member>};

// One bit of the enable byte: Umin is bit 0, leakage bit 7.
template <int Bit> std::int64_t readEnabled(const ConfigRecord& r) {
    return (r.enableByte >> Bit) & 1;
}
template <int Bit> void writeEnabled(ConfigRecord& r, std::int64_t on) {
    const auto mask = static_cast<std::uint8_t>(1u << Bit);
    r.enableByte = static_cast<std::uint8_t>(on ? (r.enableByte | mask) : (r.enableByte & ~mask));
}
template <int Bit> inline constexpr RecordAccess enabled{&readEnabled<Bit>, &writeEnabled<Bit>};

// One part of the control byte, changed alone.
template <auto Part> std::int64_t readControl(const ConfigRecord& r) {
    return static_cast<std::int64_t>(decomposeControlByte(r.controlByte).*Part);
}
template <auto Part> void writeControl(ConfigRecord& r, std::int64_t v) {
    ControlFields c = decomposeControlByte(r.controlByte);
    using T = std::remove_cvref_t<decltype(c.*Part)>;
    c.*Part = static_cast<T>(v);
    r.controlByte =
        composeControlByte(c.isoIndex, c.isoOn, c.voltageItem, c.currentItem, c.blockOn);
}
template <auto Part> inline constexpr RecordAccess control{&readControl<Part>, &writeControl<Part>};

template <std::size_t I> std::int64_t readCoefficient(const ConfigRecord& r) {
    return r.coefficients[I];
}
template <std::size_t I> void writeCoefficient(ConfigRecord& r, std::int64_t v) {
    r.coefficients[I] = static_cast<std::uint16_t>(v);
}
template <std::size_t I>
inline constexpr RecordAccess coefficientAt{&readCoefficient<I>, &writeCoefficient<I>};

inline std::int64_t readCos(const ConfigRecord& r) {
    return decodeCosCorrection(r.cosCorrectionByte);
}
inline void writeCos(ConfigRecord& r, std::int64_t v) {
    r.cosCorrectionByte = encodeCosCorrection(static_cast<int>(v));
}
inline constexpr RecordAccess cosCorrection{&readCos, &writeCos};

// The lists as the page shows them, leading blanks included.
inline constexpr std::string_view kSpeeds[] = {"   300", "   600", "  1200", "  2400",
                                               "  4800", "  9600", " 14400", " 19200",
                                               " 38400", " 57600", "115200"};
inline constexpr std::string_view kProtocols[] = {"RURUDE", "ZEVERE"};
inline constexpr std::string_view kInsulation[] = {"50", "100", "250", "500"};
inline constexpr std::string_view kPhaseSets[] = {"A/B/C", "   A/B", "   A/C", "       A"};

// A delay byte in tenths of a second tops out at 25.5 s; a current word at 6553.5 A.
inline constexpr int kDelayTenths = 255;
inline constexpr int kCurrentTenths = 65535;

// Builders that keep each row of the table on a line or two; `page()` adds the control and
// the report row.
constexpr ConfigField spin(std::string_view group, std::string_view name, std::string_view unit,
                           int min, int max, RecordAccess access, int scale = 1) {
    return {.group = group,
            .name = name,
            .unit = unit,
            .min = min,
            .max = max,
            .scale = scale,
            .control = PageControl::SpinEdit,
            .access = access};
}
constexpr ConfigField coefficient(std::string_view name, RecordAccess access) {
    return {.group = "calibration",
            .name = name,
            .max = 65535,
            .control = PageControl::CoefficientEdit,
            .access = access};
}
constexpr ConfigField delay(std::string_view group, RecordAccess access) {
    return {.group = group,
            .name = "delay",
            .unit = "s",
            .max = kDelayTenths,
            .decimals = 1,
            .control = PageControl::DelayText,
            .access = access};
}
constexpr ConfigField current(std::string_view group, std::string_view name, RecordAccess access) {
    return {.group = group,
            .name = name,
            .unit = "a",
            .max = kCurrentTenths,
            .decimals = 1,
            .control = PageControl::CurrentEdit,
            .access = access};
}
constexpr ConfigField flag(std::string_view group, RecordAccess access) {
    return {.group = group,
            .name = "enabled",
            .kind = FieldKind::Flag,
            .max = 1,
            .control = PageControl::CheckBox,
            .access = access};
}
constexpr ConfigField choice(std::string_view group, std::string_view name, std::string_view unit,
                             std::span<const std::string_view> items, RecordAccess access,
                             std::string_view indexKey = {}, int maxIndex = 0) {
    return {.group = group,
            .name = name,
            .unit = unit,
            .kind = FieldKind::Choice,
            .max = maxIndex,
            .control = PageControl::DropDown,
            .access = access,
            .items = {items},
            .indexKey = indexKey};
}
constexpr ConfigField unitText(std::string_view name, UnitText ConfigRecord::*member) {
    return {.group = "texts",
            .name = name,
            .kind = FieldKind::Text,
            .control = PageControl::TextEdit,
            .text = member};
}

} // namespace fields

// Every field, in the order of the settings file.
inline constexpr std::array kConfigFields = {
    // clang-format off
    fields::choice("rs485", "speed", "baud", fields::kSpeeds,
                   fields::member<&ConfigRecord::rs485SpeedIndex>, "speed_index", 255)
        .titled("Скорость RS485, бод/сек").page("cb_rs485", 39).showingAbove(11, 5),
    fields::choice("rs485", "protocol", "", fields::kProtocols,
                   fields::member<&ConfigRecord::busProtocolIndex>, "protocol_index", 255)
        .titled("Протокол передачи данных").page("cb_uprotbus", 40),
    fields::spin("rs485", "address", "", 1, 247, fields::member<&ConfigRecord::busAddress>)
        .titled("Сетевой адрес").page("sp_uaddr", 41),
    fields::spin("rs485", "tb", "ms", 3, 200, fields::member<&ConfigRecord::tbMs>)
        .titled("Время тишины старта Tb, мСек").page("sp_utb", 42),
    fields::spin("rs485", "te", "ms", 2, 99, fields::member<&ConfigRecord::teMs>)
        .titled("Время окончания сообщения Te, мСек").page("sp_ute", 43),

    fields::flag("protection_block", fields::control<&ControlFields::blockOn>)
        .titled("Блокировка защиты").page("blok_z", 1),
    fields::spin("protection_block", "reset_lock", "s", 1, 999,
                 fields::member<&ConfigRecord::resetLockSeconds>)
        .titled("Блокировка сброса, сек").page("sp_bsz"),

    fields::flag("umin", fields::enabled<0>)
        .titled("Защита Umin").page("z_umin_ok", 2),
    fields::spin("umin", "threshold", "v", 100, 6000, fields::member<&ConfigRecord::uminVolts>)
        .titled("Значение Umin, В").page("z_umin_v", 3),
    fields::delay("umin", fields::member<&ConfigRecord::uminDelayTenths>)
        .titled("Время срабатывания Umin, сек").page("st_zumin_t", 4),
    fields::flag("umax", fields::enabled<1>)
        .titled("Защита Umax").page("z_umax_ok", 5),
    fields::spin("umax", "threshold", "v", 100, 7000, fields::member<&ConfigRecord::umaxVolts>)
        .titled("Значение Umax, В").page("z_umax_v", 6),
    fields::delay("umax", fields::member<&ConfigRecord::umaxDelayTenths>)
        .titled("Время срабатывания Umax, сек").page("st_zumax_t", 7),
    fields::flag("u_asymmetry", fields::enabled<2>)
        .titled("Защита Uасм").page("z_uasm_ok", 8),
    fields::spin("u_asymmetry", "threshold", "percent", 1, 99,
                 fields::member<&ConfigRecord::uAsymPercent>)
        .titled("Значение Uасм, %").page("z_uasm", 9),
    fields::delay("u_asymmetry", fields::member<&ConfigRecord::uAsymDelayTenths>)
        .titled("Время срабатывания Uасм, сек").page("st_zuasm_t", 10),
    fields::flag("idle_current", fields::enabled<3>)
        .titled("Защита Iхол").page("z_ihol_ok", 11),
    fields::current("idle_current", "threshold", fields::member<&ConfigRecord::iholTenths>)
        .titled("Значение Iхол, А").page("z_ihol_a", 12),
    fields::spin("idle_current", "delay", "s", 1, 999,
                 fields::member<&ConfigRecord::iholDelayTenthsOfSecond>, 10)
        .titled("Время срабатывания Iхол, сек").page("z_ihol_t", 13),
    fields::flag("i_asymmetry", fields::enabled<4>)
        .titled("Защита Iасм").page("z_iasm_ok", 14),
    fields::spin("i_asymmetry", "threshold", "percent", 1, 99,
                 fields::member<&ConfigRecord::iAsymPercent>)
        .titled("Значение Iасм, %").page("z_iasm", 15),
    fields::delay("i_asymmetry", fields::member<&ConfigRecord::iAsymDelayTenths>)
        .titled("Время срабатывания Iасм, сек").page("st_ziasm_t", 16),
    fields::flag("overload", fields::enabled<5>)
        .titled("Защита от перегруза (ВТЗ)").page("z_ivtz_ok", 17),
    fields::current("overload", "nominal_current", fields::member<&ConfigRecord::inomTenths>)
        .titled("Номинальный ток Iном, А").page("z_inom_a", 18),
    fields::spin("overload", "time", "s", 1, 999,
                 fields::member<&ConfigRecord::vtzTenthsOfSecond>, 10)
        .titled("Время ВТЗ, сек").page("z_vtz_t", 19),
    fields::flag("locked_rotor", fields::enabled<6>)
        .titled("Защита от заклинивания").page("z_zakl_ok", 20),
    fields::current("locked_rotor", "current", fields::member<&ConfigRecord::izklTenths>)
        .titled("Ток заклинивания Iзкл, А").page("z_izkl_a", 21),
    fields::delay("locked_rotor", fields::member<&ConfigRecord::izklDelayTenths>)
        .titled("Время срабатывания Iзкл, сек").page("st_zizakl_t", 22),
    fields::flag("leakage", fields::enabled<7>)
        .titled("Защита Iут").page("z_idif_ok", 23),
    fields::current("leakage", "current", fields::member<&ConfigRecord::idifTenths>)
        .titled("Ток утечки Iут, А").page("z_idif_a", 24),
    fields::delay("leakage", fields::member<&ConfigRecord::idifDelayTenths>)
        .titled("Время срабатывания Iут, сек").page("st_zidif_t", 25),

    fields::flag("insulation", fields::control<&ControlFields::isoOn>)
        .titled("Контроль изоляции").page("z_iso_ok", 26),
    fields::choice("insulation", "threshold", "kohm", fields::kInsulation,
                   fields::control<&ControlFields::isoIndex>)
        .titled("Сопротивление изоляции, кОм").page("z_iso_r", 27),
    fields::choice("phase_monitoring", "voltage", "", fields::kPhaseSets,
                   fields::control<&ControlFields::voltageItem>)
        .titled("Контроль Uфаз").page("p_uf_c", 28),
    fields::choice("phase_monitoring", "current", "", fields::kPhaseSets,
                   fields::control<&ControlFields::currentItem>)
        .titled("Контроль Iфаз").page("p_if_c", 29),

    fields::coefficient("ua_coefficient", fields::coefficientAt<0>)
        .titled("Калибровочный коэффициент Ua").page("st_kua", 31),
    fields::coefficient("ub_coefficient", fields::coefficientAt<1>)
        .titled("Калибровочный коэффициент Ub").page("st_kub", 32),
    fields::coefficient("uc_coefficient", fields::coefficientAt<2>)
        .titled("Калибровочный коэффициент Uc").page("st_kuc", 33),
    fields::coefficient("ia_coefficient", fields::coefficientAt<3>)
        .titled("Калибровочный коэффициент Ia").page("st_kia", 34),
    fields::coefficient("ib_coefficient", fields::coefficientAt<4>)
        .titled("Калибровочный коэффициент Ib").page("st_kib", 35),
    fields::coefficient("ic_coefficient", fields::coefficientAt<5>)
        .titled("Калибровочный коэффициент Ic").page("st_kic", 36),
    fields::coefficient("idif_coefficient", fields::coefficientAt<6>)
        .titled("Калибровочный коэффициент Iут").page("st_kidif", 37),
    fields::spin("calibration", "cos_f_correction", "", -75, 75, fields::cosCorrection)
        .titled("Поправка cos f").page("pcosf", 38),

    fields::unitText("equipment_type", &ConfigRecord::equipmentType)
        .titled("Тип оборудования").page("tipo_text"),
    fields::unitText("installation", &ConfigRecord::installation)
        .titled("Объект/установка").page("oust_text"),
    // clang-format on
};

// The field a path names ("umin.threshold_v", as ConfigField::path gives it); nothing for a
// path no field has.
const ConfigField* configFieldAt(std::string_view path);

// The field of `group` written under `key`; naming a field the table lacks does not compile.
consteval const ConfigField& configField(std::string_view group, std::string_view key) {
    for (const ConfigField& f : kConfigFields) {
        if (f.group == group && f.hasKey(key)) {
            return f;
        }
    }
    throw "no such configuration field";
}

} // namespace torl7
