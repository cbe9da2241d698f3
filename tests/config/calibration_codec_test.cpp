#include "protocol/codecs/calibration_codec.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace torl7;

TEST(CalibrationSample, readingsAre24BitMostSignificantFirstAfterTheSelector) {
    CalibrationSample sample;
    sample.readings = {57000, 0x123456, 0, 1000, 0xFFFFFF, 0x010203, 5};
    const Bytes payload = encodeCalibrationSample(sample);
    ASSERT_EQ(payload.size(), 22u);
    EXPECT_EQ(payload[0], 4);
    EXPECT_EQ((Bytes{payload[1], payload[2], payload[3]}), (Bytes{0x00, 0xDE, 0xA8}));
    EXPECT_EQ((Bytes{payload[4], payload[5], payload[6]}), (Bytes{0x12, 0x34, 0x56}));
    EXPECT_EQ((Bytes{payload[19], payload[20], payload[21]}), (Bytes{0x00, 0x00, 0x05}));
    EXPECT_EQ(decodeCalibrationSample(payload), sample);

    // Later bytes are not part of the sample; missing ones read as zero.
    Bytes longer = payload;
    longer.push_back(0x99);
    EXPECT_EQ(decodeCalibrationSample(longer), sample);
    const Bytes head(payload.begin(), payload.begin() + 5);
    const CalibrationSample cut = decodeCalibrationSample(head);
    EXPECT_EQ(cut.readings[0], 57000u);
    EXPECT_EQ(cut.readings[1], 0x120000u);
    EXPECT_EQ(cut.readings[6], 0u);

    CalibrationSample wide;
    wide.readings[0] = 0x7F123456;
    EXPECT_EQ(decodeCalibrationSample(encodeCalibrationSample(wide)).readings[0], 0x123456u)
        << "only 24 bits travel";
}

TEST(Coefficient, isTheMeanOverTheReferenceTruncatedAndCurrentsAreDoubled) {
    EXPECT_EQ(computeCoefficient(Channel::Ua, 57000 * 10, 100.0), 570);
    EXPECT_EQ(computeCoefficient(Channel::Ia, 1000 * 10, 10.0), 200);
    EXPECT_EQ(computeCoefficient(Channel::Ic, 1000 * 10, 10.0), 200);
    EXPECT_EQ(computeCoefficient(Channel::Idif, 1000 * 10, 10.0), 100)
        << "the leakage channel is not doubled";
    // Mean 5699,9 over 10: truncated, not rounded.
    EXPECT_EQ(computeCoefficient(Channel::Ub, 56999, 10.0), 569);
    EXPECT_EQ(computeCoefficient(Channel::Uc, 56999, -10.0), -569);
    // The doubling is on the integer sum: 2 x 5 / 10 = 1, not 2 x (5 / 10) truncated.
    EXPECT_EQ(computeCoefficient(Channel::Ib, 5, 1.0), 1);
}

TEST(Coefficient, decimalReferencesThatDivideExactlyDoNotLoseOne) {
    // 10,1 / 0,1 and 3,3 / 1,1 are whole numbers, but in binary fractions the plain quotient
    // falls just below them.
    EXPECT_EQ(computeCoefficient(Channel::Idif, 101, 0.1), 101);
    EXPECT_EQ(computeCoefficient(Channel::Ua, 33, 1.1), 3);
    EXPECT_EQ(computeCoefficient(Channel::Ua, 2200, 1.1), 200);
    EXPECT_EQ(computeCoefficient(Channel::Ua, 2199, 1.1), 199);

    // Against exact integer arithmetic over a spread of sums and one- to three-decimal
    // references.
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> sumDist(0, 167772150);
    std::uniform_int_distribution<int> refDist(1, 99999);
    for (int i = 0; i < 200000; ++i) {
        const std::int32_t sum = sumDist(random);
        const int refUnits = refDist(random);
        const int decimals = 1 + i % 3;
        const std::int64_t scale = decimals == 1 ? 10 : decimals == 2 ? 100 : 1000;
        const double reference = static_cast<double>(refUnits) / static_cast<double>(scale);
        const std::int64_t exact = std::int64_t{sum} * scale / (10 * std::int64_t{refUnits});
        ASSERT_EQ(computeCoefficient(Channel::Ua, sum, reference), exact)
            << sum << " / " << reference;
    }
}

TEST(Coefficient, unusableReferencesGiveNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(computeCoefficient(Channel::Ua, 570000, 0.0));
    EXPECT_FALSE(computeCoefficient(Channel::Ua, 570000, -0.0));
    EXPECT_FALSE(computeCoefficient(Channel::Ua, 0, 0.0));
    EXPECT_FALSE(computeCoefficient(Channel::Ua, 570000, nan));
    EXPECT_FALSE(computeCoefficient(Channel::Ua, 570000, inf));
    EXPECT_FALSE(computeCoefficient(Channel::Ia, 570000, 1e-320)) << "quotient overflows";
    EXPECT_FALSE(computeCoefficient(Channel::Ia, 570000, 1e-300)) << "beyond 64 bits";
    // Large but representable: left for the write to refuse.
    EXPECT_EQ(computeCoefficient(Channel::Ua, 570000, 0.0001), 570000000);
    // Ten full-scale current readings: the doubled sum must not overflow.
    EXPECT_EQ(computeCoefficient(Channel::Ia, 10 * 0xFFFFFF, 1.0), 2 * 0xFFFFFF);
}

TEST(CoefficientWrite, sendsSevenWordsBehindSubModeOneAndRefusesWhatDoesNotFit) {
    const auto payload = coefficientWritePayload({570, 570, 570, 200, 200, 200, 5000});
    ASSERT_TRUE(payload);
    EXPECT_EQ(*payload, (Bytes{0x01, 0x02, 0x3A, 0x02, 0x3A, 0x02, 0x3A, 0x00, 0xC8, 0x00, 0xC8,
                               0x00, 0xC8, 0x13, 0x88}));
    EXPECT_EQ(decodeCoefficientWrite(*payload),
              (std::array<std::uint16_t, 7>{570, 570, 570, 200, 200, 200, 5000}));

    const auto extremes = coefficientWritePayload({0, 65535, 1, 2, 3, 4, 5});
    ASSERT_TRUE(extremes);
    EXPECT_EQ(decodeCoefficientWrite(*extremes),
              (std::array<std::uint16_t, 7>{0, 65535, 1, 2, 3, 4, 5}));

    EXPECT_FALSE(coefficientWritePayload({570, 570, 570, 200, 200, 200, 65536}))
        << "would arrive as 0";
    EXPECT_FALSE(coefficientWritePayload({-1, 570, 570, 200, 200, 200, 5000}));
    EXPECT_FALSE(coefficientWritePayload({570, 570, 570, 570000000, 200, 200, 5000}));
}

TEST(CoefficientAck, carriesTheUnitsCoefficientsAndTheBlockBit) {
    const CoefficientAck ack{{571, 569, 570, 201, 199, 200, 4999}, true};
    const Bytes payload = encodeCoefficientAck(ack);
    ASSERT_EQ(payload.size(), 16u);
    EXPECT_EQ(payload[0], 1);
    EXPECT_EQ(payload[1], 0x02);
    EXPECT_EQ(payload[2], 0x3B);
    EXPECT_EQ(payload[15], 0x80);
    EXPECT_EQ(decodeCoefficientAck(payload), ack);

    Bytes flags = payload;
    flags[15] = 0x7F;
    EXPECT_FALSE(decodeCoefficientAck(flags).protectionBlocked) << "only bit 7 counts";
    flags[15] = 0x81;
    EXPECT_TRUE(decodeCoefficientAck(flags).protectionBlocked);

    const Bytes cut(payload.begin(), payload.begin() + 15);
    const CoefficientAck shortAck = decodeCoefficientAck(cut);
    EXPECT_EQ(shortAck.coefficients, ack.coefficients);
    EXPECT_FALSE(shortAck.protectionBlocked);
}
