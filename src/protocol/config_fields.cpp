#include "protocol/config_fields.hpp"

namespace torl7 {

std::string ConfigField::key() const {
    std::string k(name);
    if (!unit.empty()) {
        k += '_';
        k += unit;
    }
    return k;
}

std::string ConfigField::path() const {
    return std::string(group) + "." + key();
}

std::int64_t stepsOf(const ConfigField& field, const ConfigRecord& record) {
    return field.access.get(record) / field.scale;
}

void setSteps(const ConfigField& field, ConfigRecord& record, std::int64_t steps) {
    field.access.set(record, steps * field.scale);
}

const ConfigField* configFieldAt(std::string_view path) {
    for (const ConfigField& f : kConfigFields) {
        if (f.path() == path) {
            return &f;
        }
    }
    return nullptr;
}

} // namespace torl7
