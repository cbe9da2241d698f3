#include "protocol/config_fields.hpp"

#include "protocol/encodings.hpp"

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

std::int64_t shownIndex(const ConfigField& field, const ConfigRecord& record) {
    const std::int64_t index = field.access.get(record);
    return index > field.fallback.above ? field.fallback.item : index;
}

std::string shownText(const ConfigField& field, const ConfigRecord& record) {
    switch (field.kind) {
    case FieldKind::Number: {
        const std::int64_t steps = stepsOf(field, record);
        return field.decimals == 1 ? formatTenths(steps) : std::to_string(steps);
    }
    case FieldKind::Flag:
        return {};
    case FieldKind::Choice: {
        const std::int64_t index = shownIndex(field, record);
        const bool listed = index >= 0 && index < static_cast<std::int64_t>(field.items.size());
        return listed ? std::string(field.items.shown[static_cast<std::size_t>(index)])
                      : std::string();
    }
    case FieldKind::Text:
        return unitTextFrom16(record.*field.text);
    }
    return {};
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
