// The coefficient rules the window and the headless client share: the zero check before a
// configuration write and the new coefficients of a calibration run.
#include "protocol/calibration_rules.hpp"

#include <gtest/gtest.h>

using namespace torl7;

namespace {

using Typed = std::array<std::string, kCoefficientCount>;
const Typed kGood = {"570", "570", "570", "200", "200", "200", "5000"};

Typed with(Typed typed, std::size_t channel, std::string text) {
    typed[channel] = std::move(text);
    return typed;
}

} // namespace

TEST(CoefficientCheck, firstBadCoefficientInTheOrderUaIaUbIbUcIcIdifDecides) {
    using Kind = CoefficientFault::Kind;
    const struct {
        Typed typed;
        std::optional<Kind> kind;
        std::size_t channel;
    } cases[] = {
        {kGood, std::nullopt, 0},
        {with(kGood, 6, "0"), Kind::Zero, 6},
        {with(kGood, 4, "0,0"), Kind::Zero, 4},
        {with(with(kGood, 3, "x"), 1, "0"), Kind::NotANumber, 3}, // Ia before Ub
        {with(with(kGood, 1, "0"), 5, "x"), Kind::Zero, 1},       // Ub before Ic
        {with(with(kGood, 2, "x"), 4, "0"), Kind::Zero, 4},       // Ib before Uc
        {with(kGood, 0, "-1"), std::nullopt, 0}, // not zero: the record refuses it later
    };
    for (const auto& c : cases) {
        const auto fault = checkCoefficients(c.typed);
        ASSERT_EQ(fault.has_value(), c.kind.has_value());
        if (fault) {
            EXPECT_EQ(fault->kind, *c.kind);
            EXPECT_EQ(fault->channel, c.channel);
        }
    }
}

TEST(CalibrationCoefficients, tickedChannelsAreComputedAllOrNothingInWireOrder) {
    using Kind = CalibrationFault::Kind;
    // Sums of ten quiet samples: Ua 570 000, Ia 10 000.
    const std::array<CalibrationSum, kCoefficientCount> sums = {570000, 570000, 570000, 10000,
                                                                10000,  10000,  25000};
    using Refs = std::array<std::optional<std::string>, kCoefficientCount>;
    const struct {
        const char* name;
        Refs refs;
        std::optional<Kind> kind;
        std::size_t channel;
        std::int64_t value;
    } cases[] = {
        {"none ticked", {}, std::nullopt, 0, 0},
        {"Ua 100 gives 570", {"100"}, std::nullopt, 0, 570},
        {"Ia 10 gives twice the mean over 10", {std::nullopt, {}, {}, "10"}, std::nullopt, 3, 200},
        {"not a number", {"100", "abc"}, Kind::ReferenceNotANumber, 1, 0},
        {"zero", {"0,0"}, Kind::ZeroReference, 0, 0},
        {"beyond a word", {"0,5"}, Kind::CoefficientNotAWord, 0, 114000},
        {"negative", {"-100"}, Kind::CoefficientNotAWord, 0, -570},
        {"first fault decides", {std::nullopt, "0", "x"}, Kind::ZeroReference, 1, 0},
    };
    for (const auto& c : cases) {
        const auto result = computeTickedCoefficients(sums, c.refs);
        ASSERT_EQ(result.fault.has_value(), c.kind.has_value()) << c.name;
        if (c.kind) {
            EXPECT_FALSE(result.value) << c.name;
            EXPECT_EQ(result.fault->kind, *c.kind) << c.name;
            EXPECT_EQ(result.fault->channel, c.channel) << c.name;
            EXPECT_EQ(result.fault->value, c.value) << c.name;
            continue;
        }
        for (std::size_t i = 0; i < kCoefficientCount; ++i) {
            EXPECT_EQ((*result.value)[i].has_value(), c.refs[i].has_value()) << c.name;
        }
        if (c.value) {
            EXPECT_EQ((*result.value)[c.channel], c.value) << c.name;
        }
    }
}

TEST(CalibrationCoefficients, keptCoefficientsMustBeWords) {
    using Kind = CalibrationFault::Kind;
    TickedCoefficients computed;
    computed[2] = 999;
    const auto ok = coefficientsToWrite(computed, with(kGood, 2, "not read"));
    ASSERT_TRUE(ok.value);
    EXPECT_EQ(*ok.value,
              (std::array<std::int64_t, kCoefficientCount>{570, 570, 999, 200, 200, 200, 5000}));
    const struct {
        Typed kept;
        Kind kind;
        std::size_t channel;
    } cases[] = {
        {with(kGood, 5, "2x"), Kind::CoefficientNotInteger, 5},
        {with(kGood, 0, "65536"), Kind::KeptCoefficientNotAWord, 0},
        {with(kGood, 6, "-5"), Kind::KeptCoefficientNotAWord, 6},
    };
    for (const auto& c : cases) {
        const auto result = coefficientsToWrite({}, c.kept);
        ASSERT_TRUE(result.fault);
        EXPECT_EQ(result.fault->kind, c.kind);
        EXPECT_EQ(result.fault->channel, c.channel);
    }
}
