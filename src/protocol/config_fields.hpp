// The fields of the configuration record as a person sets them: the object of the settings
// file a field stands in, its key with the unit it is given in, the limits of the control
// that edits it on the configuration page, and how the value a person reads scales to the
// record. The settings file, the page's spin edits and asPageHolds all take their limits
// from this one table. Pure: no Qt.
#pragma once

#include "protocol/codecs/config_record_codec.hpp"

#include <array>
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

// How a field's value is taken from and put into the record: the value with its bit field
// or sign coding undone, before scaling (an item index, or 0 and 1 for a flag).
struct RecordAccess {
    std::int64_t (*get)(const ConfigRecord&) = nullptr;
    void (*set)(ConfigRecord&, std::int64_t) = nullptr;
};

struct ConfigField {
    std::string_view group; // the object of the settings file that holds the field
    std::string_view name;  // the key without its unit
    std::string_view unit;  // the unit the key ends in ("v" gives "threshold_v"); may be empty
    FieldKind kind = FieldKind::Number;
    // Number: the limits, in steps of the last decimal. Choice: the highest index the index
    // key takes.
    int min = 0;
    int max = 0;
    int decimals = 0; // Number: 0 or 1
    // Number: the record's value per step; 10 where the record holds tenths of a second of
    // a time set in whole seconds (the rest is dropped when the value is shown).
    int scale = 1;
    // The page edits the value in a spin edit, which holds what it is given to min..max.
    bool spinEdit = false;
    RecordAccess access{};
    std::span<const std::string_view> items{}; // Choice: the list, in index order
    std::string_view indexKey{};               // Choice: the key of an index naming no item
    UnitText ConfigRecord::*text = nullptr;    // Text: the record's member
    std::string_view caption{};                // what the window calls the field, in Russian

    constexpr ConfigField titled(std::string_view russian) const {
        ConfigField f = *this;
        f.caption = russian;
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
inline constexpr RecordAccess coefficient{&readCoefficient<I>, &writeCoefficient<I>};

inline std::int64_t readCos(const ConfigRecord& r) {
    return decodeCosCorrection(r.cosCorrectionByte);
}
inline void writeCos(ConfigRecord& r, std::int64_t v) {
    r.cosCorrectionByte = encodeCosCorrection(static_cast<int>(v));
}
inline constexpr RecordAccess cosCorrection{&readCos, &writeCos};

inline constexpr std::string_view kSpeeds[] = {"300",   "600",   "1200",  "2400",  "4800",  "9600",
                                               "14400", "19200", "38400", "57600", "115200"};
inline constexpr std::string_view kProtocols[] = {"RURUDE", "ZEVERE"};
inline constexpr std::string_view kInsulation[] = {"50", "100", "250", "500"};
inline constexpr std::string_view kPhaseSets[] = {"A/B/C", "A/B", "A/C", "A"};

// Builders that keep each row of the table on a line or two.
constexpr ConfigField spin(std::string_view group, std::string_view name, std::string_view unit,
                           int min, int max, RecordAccess access, int scale = 1) {
    return {group, name, unit, FieldKind::Number, min, max, 0, scale, true, access};
}
constexpr ConfigField whole(std::string_view group, std::string_view name, int min, int max,
                            RecordAccess access) {
    return {group, name, "", FieldKind::Number, min, max, 0, 1, false, access};
}
constexpr ConfigField tenths(std::string_view group, std::string_view name, std::string_view unit,
                             int maxTenths, RecordAccess access) {
    return {group, name, unit, FieldKind::Number, 0, maxTenths, 1, 1, false, access};
}
constexpr ConfigField flag(std::string_view group, RecordAccess access,
                           std::string_view name = "enabled") {
    return {group, name, "", FieldKind::Flag, 0, 1, 0, 1, false, access};
}
constexpr ConfigField choice(std::string_view group, std::string_view name, std::string_view unit,
                             std::span<const std::string_view> items, RecordAccess access,
                             std::string_view indexKey = {}, int maxIndex = 0) {
    return {group, name,   unit,  FieldKind::Choice, 0, maxIndex, 0, 1,
            false, access, items, indexKey};
}
constexpr ConfigField unitText(std::string_view name, UnitText ConfigRecord::*member) {
    return {"texts", name, "", FieldKind::Text, 0, 0, 0, 1, false, {}, {}, {}, member};
}

// A delay byte in tenths of a second tops out at 25.5 s; a current word at 6553.5 A.
inline constexpr int kDelayTenths = 255;
inline constexpr int kCurrentTenths = 65535;

} // namespace fields

// Every field, in the order of the settings file.
inline constexpr std::array kConfigFields = {
    // clang-format off
    fields::choice("rs485", "speed", "baud", fields::kSpeeds,
                   fields::member<&ConfigRecord::rs485SpeedIndex>, "speed_index", 255)
        .titled("Скорость RS485, бод/сек"),
    fields::choice("rs485", "protocol", "", fields::kProtocols,
                   fields::member<&ConfigRecord::busProtocolIndex>, "protocol_index", 255)
        .titled("Протокол передачи данных"),
    fields::spin("rs485", "address", "", 1, 247, fields::member<&ConfigRecord::busAddress>)
        .titled("Сетевой адрес"),
    fields::spin("rs485", "tb", "ms", 3, 200, fields::member<&ConfigRecord::tbMs>)
        .titled("Время тишины старта Tb, мСек"),
    fields::spin("rs485", "te", "ms", 2, 99, fields::member<&ConfigRecord::teMs>)
        .titled("Время окончания сообщения Te, мСек"),

    fields::flag("protection_block", fields::control<&ControlFields::blockOn>)
        .titled("Блокировка защиты"),
    fields::spin("protection_block", "reset_lock", "s", 1, 999,
                 fields::member<&ConfigRecord::resetLockSeconds>)
        .titled("Блокировка сброса, сек"),

    fields::flag("umin", fields::enabled<0>)
        .titled("Защита Umin"),
    fields::spin("umin", "threshold", "v", 100, 6000, fields::member<&ConfigRecord::uminVolts>)
        .titled("Значение Umin, В"),
    fields::tenths("umin", "delay", "s", fields::kDelayTenths,
                   fields::member<&ConfigRecord::uminDelayTenths>)
        .titled("Время срабатывания Umin, сек"),
    fields::flag("umax", fields::enabled<1>)
        .titled("Защита Umax"),
    fields::spin("umax", "threshold", "v", 100, 7000, fields::member<&ConfigRecord::umaxVolts>)
        .titled("Значение Umax, В"),
    fields::tenths("umax", "delay", "s", fields::kDelayTenths,
                   fields::member<&ConfigRecord::umaxDelayTenths>)
        .titled("Время срабатывания Umax, сек"),
    fields::flag("u_asymmetry", fields::enabled<2>)
        .titled("Защита Uасм"),
    fields::spin("u_asymmetry", "threshold", "percent", 1, 99,
                 fields::member<&ConfigRecord::uAsymPercent>)
        .titled("Значение Uасм, %"),
    fields::tenths("u_asymmetry", "delay", "s", fields::kDelayTenths,
                   fields::member<&ConfigRecord::uAsymDelayTenths>)
        .titled("Время срабатывания Uасм, сек"),
    fields::flag("idle_current", fields::enabled<3>)
        .titled("Защита Iхол"),
    fields::tenths("idle_current", "threshold", "a", fields::kCurrentTenths,
                   fields::member<&ConfigRecord::iholTenths>)
        .titled("Значение Iхол, А"),
    fields::spin("idle_current", "delay", "s", 1, 999,
                 fields::member<&ConfigRecord::iholDelayTenthsOfSecond>, 10)
        .titled("Время срабатывания Iхол, сек"),
    fields::flag("i_asymmetry", fields::enabled<4>)
        .titled("Защита Iасм"),
    fields::spin("i_asymmetry", "threshold", "percent", 1, 99,
                 fields::member<&ConfigRecord::iAsymPercent>)
        .titled("Значение Iасм, %"),
    fields::tenths("i_asymmetry", "delay", "s", fields::kDelayTenths,
                   fields::member<&ConfigRecord::iAsymDelayTenths>)
        .titled("Время срабатывания Iасм, сек"),
    fields::flag("overload", fields::enabled<5>)
        .titled("Защита от перегруза (ВТЗ)"),
    fields::tenths("overload", "nominal_current", "a", fields::kCurrentTenths,
                   fields::member<&ConfigRecord::inomTenths>)
        .titled("Номинальный ток Iном, А"),
    fields::spin("overload", "time", "s", 1, 999,
                 fields::member<&ConfigRecord::vtzTenthsOfSecond>, 10)
        .titled("Время ВТЗ, сек"),
    fields::flag("locked_rotor", fields::enabled<6>)
        .titled("Защита от заклинивания"),
    fields::tenths("locked_rotor", "current", "a", fields::kCurrentTenths,
                   fields::member<&ConfigRecord::izklTenths>)
        .titled("Ток заклинивания Iзкл, А"),
    fields::tenths("locked_rotor", "delay", "s", fields::kDelayTenths,
                   fields::member<&ConfigRecord::izklDelayTenths>)
        .titled("Время срабатывания Iзкл, сек"),
    fields::flag("leakage", fields::enabled<7>)
        .titled("Защита Iут"),
    fields::tenths("leakage", "current", "a", fields::kCurrentTenths,
                   fields::member<&ConfigRecord::idifTenths>)
        .titled("Ток утечки Iут, А"),
    fields::tenths("leakage", "delay", "s", fields::kDelayTenths,
                   fields::member<&ConfigRecord::idifDelayTenths>)
        .titled("Время срабатывания Iут, сек"),

    fields::flag("insulation", fields::control<&ControlFields::isoOn>)
        .titled("Контроль изоляции"),
    fields::choice("insulation", "threshold", "kohm", fields::kInsulation,
                   fields::control<&ControlFields::isoIndex>)
        .titled("Сопротивление изоляции, кОм"),
    fields::choice("phase_monitoring", "voltage", "", fields::kPhaseSets,
                   fields::control<&ControlFields::voltageItem>)
        .titled("Контроль Uфаз"),
    fields::choice("phase_monitoring", "current", "", fields::kPhaseSets,
                   fields::control<&ControlFields::currentItem>)
        .titled("Контроль Iфаз"),

    fields::whole("calibration", "ua_coefficient", 0, 65535, fields::coefficient<0>)
        .titled("Калибровочный коэффициент Ua"),
    fields::whole("calibration", "ub_coefficient", 0, 65535, fields::coefficient<1>)
        .titled("Калибровочный коэффициент Ub"),
    fields::whole("calibration", "uc_coefficient", 0, 65535, fields::coefficient<2>)
        .titled("Калибровочный коэффициент Uc"),
    fields::whole("calibration", "ia_coefficient", 0, 65535, fields::coefficient<3>)
        .titled("Калибровочный коэффициент Ia"),
    fields::whole("calibration", "ib_coefficient", 0, 65535, fields::coefficient<4>)
        .titled("Калибровочный коэффициент Ib"),
    fields::whole("calibration", "ic_coefficient", 0, 65535, fields::coefficient<5>)
        .titled("Калибровочный коэффициент Ic"),
    fields::whole("calibration", "idif_coefficient", 0, 65535, fields::coefficient<6>)
        .titled("Калибровочный коэффициент Iут"),
    fields::spin("calibration", "cos_f_correction", "", -75, 75, fields::cosCorrection)
        .titled("Поправка cos f"),

    fields::unitText("equipment_type", &ConfigRecord::equipmentType)
        .titled("Тип оборудования"),
    fields::unitText("installation", &ConfigRecord::installation)
        .titled("Объект/установка"),
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
