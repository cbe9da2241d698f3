// Settings files: the configuration record as a JSON document a person can read, diff and
// edit, one object per protection with the unit in every key name. Reading checks every value
// against the limits of the configuration page's controls and names the first bad field, so a
// file that reads is one the page could have held. Pure: no Qt.
#pragma once

#include "protocol/codecs/config_record_codec.hpp"
#include "protocol/config_fields.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torl7 {

// Where the settings came from. Empty texts and an absent unit number are left out of the file.
struct SettingsProvenance {
    std::optional<int> unit; // factory number
    std::string readAt;      // ISO 8601 local date and time
    std::string firmware;    // the unit's version text, when known
    std::string toolVersion;

    bool operator==(const SettingsProvenance&) const = default;
};

// The version of this tool, noted in the files it writes.
std::string_view toolVersion();

// Where settings read now come from: the unit, when they were read (ISO 8601 local time),
// its firmware text as the unit gave it (its padding dropped) and this tool's version.
SettingsProvenance provenanceOf(std::optional<int> unit, std::string readAt,
                                std::string firmware = {});

struct SettingsFile {
    ConfigRecord record;
    SettingsProvenance provenance;
};

// The record as the configuration page shows it after reading it: spin-edit values held to
// their limits (a Umin of 50 V shows as 100), the two delays in whole seconds cut to whole
// seconds and held to 1..999, cos f held to -75..75. Everything else is kept, also an RS485 or
// protocol index that names no list item.
ConfigRecord asPageHolds(const ConfigRecord& record);

// A spin-edit field whose value in the unit's record lies outside the control's limits, so
// that the page holds it to the nearer limit.
struct ClampedField {
    const ConfigField* field = nullptr;
    std::int64_t unitSteps = 0; // as the unit holds it
    std::int64_t heldSteps = 0; // the limit the page shows instead
};

// The fields asPageHolds changes, in file order.
std::vector<ClampedField> clampedFields(const ConfigRecord& record);

// The unit-specific part of a record: the calibration (the seven coefficients and the cos f
// correction), the bus address and the RS485 speed, taken from `unit`; everything else from
// `settings`. A settings file made for another unit is loaded this way unless the user asks
// for its calibration and bus settings too.
ConfigRecord withUnitSpecificOf(const ConfigRecord& settings, const ConfigRecord& unit);

// The file's text (UTF-8, two-space indents, a final newline). The record is written as given;
// callers that start from the unit's bytes pass it through asPageHolds first.
std::string writeSettingsFile(const ConfigRecord& record, const SettingsProvenance& provenance);

struct SettingsReadResult {
    std::optional<SettingsFile> file;
    // When reading failed: the field at fault ("umin.threshold_v"; empty for a document that is
    // not JSON) and what is wrong with it, in English and in Russian.
    std::string field;
    std::string error;
    std::string errorRussian;
};

// Parses and validates a whole file: every field present, no unknown field, every value within
// the limits of its control. Stops at the first fault.
SettingsReadResult readSettingsFile(std::string_view text);

// One field whose value differs between two records, with both values as the file writes them.
struct FieldDifference {
    std::string field;
    std::string expected;
    std::string actual;

    bool operator==(const FieldDifference&) const = default;
};

// The fields of the file, in file order, whose values differ.
std::vector<FieldDifference> compareSettings(const ConfigRecord& expected,
                                             const ConfigRecord& actual);

// A value of a FieldDifference as the window writes it: the decimal comma, "да" and "нет"
// for a flag, a text without its quotes.
std::string russianValueText(std::string_view fileText);

} // namespace torl7
