#include "protocol/config_fields.hpp"

#include "protocol/line_speed.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace torl7;

TEST(ConfigFields, keysAndControlsAreDistinctAndTheSpeedListAgreesWithTheLineSpeeds) {
    std::set<std::string> keys;
    std::set<std::string_view> controls;
    for (const ConfigField& f : kConfigFields) {
        EXPECT_FALSE(f.controlName.empty()) << f.path();
        EXPECT_TRUE(controls.insert(f.controlName).second) << f.controlName << " shows two fields";
        EXPECT_TRUE(keys.insert(f.path()).second) << f.path() << " stands twice";
        if (!f.indexKey.empty()) {
            const std::string index = std::string(f.group) + "." + std::string(f.indexKey);
            EXPECT_TRUE(keys.insert(index).second) << index << " stands twice";
        }
        EXPECT_LE(f.min, f.max) << f.path();
    }
    const ConfigField& speed = configField("rs485", "speed_baud");
    ASSERT_EQ(speed.items.size(), static_cast<std::size_t>(kSpeedCount));
    for (int i = 0; i < kSpeedCount; ++i) {
        EXPECT_EQ(speed.items[static_cast<std::size_t>(i)], std::to_string(baudForIndex(i)));
    }
}
