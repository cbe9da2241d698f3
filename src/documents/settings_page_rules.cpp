// The rules between a settings record and the page that shows it: which values the page holds
// to a limit, and which fields belong to the unit rather than to the motor's settings.
#include "documents/settings_file.hpp"

#include <algorithm>

namespace torl7 {

std::vector<ClampedField> clampedFields(const ConfigRecord& record) {
    std::vector<ClampedField> clamped;
    for (const ConfigField& f : kConfigFields) {
        if (f.control != PageControl::SpinEdit) {
            continue;
        }
        const std::int64_t steps = stepsOf(f, record);
        const std::int64_t held = std::clamp<std::int64_t>(steps, f.min, f.max);
        if (held != steps) {
            clamped.push_back({&f, steps, held});
        }
    }
    return clamped;
}

ConfigRecord withUnitSpecificOf(const ConfigRecord& settings, const ConfigRecord& unit) {
    ConfigRecord r = settings;
    r.coefficients = unit.coefficients;
    r.cosCorrectionByte = unit.cosCorrectionByte;
    r.busAddress = unit.busAddress;
    r.rs485SpeedIndex = unit.rs485SpeedIndex;
    return r;
}

} // namespace torl7
