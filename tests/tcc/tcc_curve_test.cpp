#include "protocol/tcc_curve.hpp"

#include <gtest/gtest.h>

using namespace torl7;

TEST(TripCurve, ninetyPointsFromMultiple1_1To10WithTheTimeDividedByTheirStep) {
    const auto curve = tripCurve(300);
    ASSERT_EQ(curve.size(), 90u);
    EXPECT_DOUBLE_EQ(curve[0].overloadMultiple, 1.1);
    EXPECT_DOUBLE_EQ(curve[0].tripTimeS, 300);
    EXPECT_DOUBLE_EQ(curve[9].overloadMultiple, 2.0);
    EXPECT_DOUBLE_EQ(curve[9].tripTimeS, 30);
    EXPECT_DOUBLE_EQ(curve[89].overloadMultiple, 10.0);
    EXPECT_DOUBLE_EQ(curve[89].tripTimeS, 300.0 / 90);
    for (std::size_t i = 1; i < curve.size(); ++i) {
        EXPECT_NEAR(curve[i].overloadMultiple - curve[i - 1].overloadMultiple, 0.1, 1e-12);
        EXPECT_LT(curve[i].tripTimeS, curve[i - 1].tripTimeS);
    }
}

TEST(TripCurve, theLastShownPointIsMultiple8AndTimesAreNotRounded) {
    const auto curve = tripCurve(600);
    EXPECT_DOUBLE_EQ(curve[kShownTripPoints - 1].overloadMultiple, 8.0);
    EXPECT_NEAR(curve[kShownTripPoints - 1].tripTimeS, 8.5714, 1e-4);
    EXPECT_DOUBLE_EQ(tripCurve(1)[2].tripTimeS, 1.0 / 3);
}

TEST(TripCurve, timeRangeSpansAllNinetyPointsAndIsAbsentForASettingOf0) {
    const auto range = positiveTimeRange(tripCurve(600));
    ASSERT_TRUE(range);
    EXPECT_DOUBLE_EQ(range->shortestS, 600.0 / 90);
    EXPECT_DOUBLE_EQ(range->longestS, 600);
    EXPECT_FALSE(positiveTimeRange(tripCurve(0)));
    EXPECT_FALSE(positiveTimeRange({}));
}

TEST(TripCurve, axisRunsOverTheWholeDecadesAroundTheTimes) {
    struct Case {
        double shortestS, longestS, fromS, toS;
    };
    const Case cases[] = {
        {300.0 / 90, 300, 1, 1000}, {999.0 / 90, 999, 10, 1000}, {1000.0 / 90, 1000, 10, 1000},
        {1.0 / 90, 1, 0.01, 1},     {10, 100, 10, 100},          {0.5, 0.9, 0.1, 1}};
    for (const Case& c : cases) {
        const TripTimeRange decades = enclosingDecades({c.shortestS, c.longestS});
        EXPECT_DOUBLE_EQ(decades.shortestS, c.fromS) << c.shortestS;
        EXPECT_DOUBLE_EQ(decades.longestS, c.toS) << c.longestS;
    }
}
