#include "protocol/display_format.hpp"

#include <gtest/gtest.h>

using namespace torl7;

namespace {
constexpr std::uint64_t kMax40 = (std::uint64_t{1} << 40) - 1;
}

TEST(RunningTime, hoursHaveAtLeastFiveDigitsAndAreNeverCut) {
    EXPECT_EQ(formatRunningTime(0), "00000:00:00");
    EXPECT_EQ(formatRunningTime(3725), "00001:02:05");
    EXPECT_EQ(formatRunningTime(359999), "00099:59:59");
    EXPECT_EQ(formatRunningTime(10000u * 3600), "10000:00:00");
    EXPECT_EQ(formatRunningTime(4294967295u), "1193046:28:15");
}

TEST(CosF, signFromBit7TwoDecimalsAndExactlyOneWhateverTheSign) {
    EXPECT_EQ(formatCosF(0xD5), "0,85");
    EXPECT_EQ(formatCosF(0x55), "-0,85");
    EXPECT_EQ(formatCosF(0x64), "1,00");
    EXPECT_EQ(formatCosF(0xE4), "1,00");
    EXPECT_EQ(formatCosF(0x85), "0,05");
    EXPECT_EQ(formatCosF(0x05), "-0,05");
    // Magnitudes above 100 are shown as they come.
    EXPECT_EQ(formatCosF(0xFF), "1,27");
    EXPECT_EQ(formatCosF(0x7F), "-1,27");
}

TEST(CosF, zeroMagnitudeHasNoMinus) {
    EXPECT_EQ(formatCosF(0x00), "0,00");
    EXPECT_EQ(formatCosF(0x80), "0,00");
}

TEST(CurrentTenths, oneDecimalBelowHundredWholeNumberFromHundredUp) {
    EXPECT_EQ(formatCurrentTenths(0), "0,0");
    EXPECT_EQ(formatCurrentTenths(5), "0,5");
    EXPECT_EQ(formatCurrentTenths(999), "99,9");
    EXPECT_EQ(formatCurrentTenths(1000), "100");
    EXPECT_EQ(formatCurrentTenths(1004), "100");
    EXPECT_EQ(formatCurrentTenths(1005), "101");
    EXPECT_EQ(formatCurrentTenths(65535), "6554");
}

TEST(EnergyKwh, sixIntegerDigitsThreeDecimalsRoundedHalfUp) {
    EXPECT_EQ(formatEnergyKwh(1000000), "000001,000");
    EXPECT_EQ(formatEnergyKwh(0), "000000,000");
    EXPECT_EQ(formatEnergyKwh(499), "000000,000");
    EXPECT_EQ(formatEnergyKwh(500), "000000,001");
    EXPECT_EQ(formatEnergyKwh(999999500), "001000,000") << "rounding carries into the kWh";
    EXPECT_EQ(formatEnergyKwh(123456789), "000123,457");
    EXPECT_EQ(formatEnergyKwh(kMax40), "1099511,628");
    EXPECT_EQ(formatEnergyKwh(UINT64_MAX), "18446744073709,552") << "no overflow in rounding";
}

TEST(AccountingEnergy, tenthsOfKwhWithTheRestDroppedAndNeverCut) {
    EXPECT_EQ(formatAccountingEnergy(0), "000000,0");
    EXPECT_EQ(formatAccountingEnergy(99999), "000000,0");
    EXPECT_EQ(formatAccountingEnergy(100000), "000000,1");
    EXPECT_EQ(formatAccountingEnergy(123456789), "000123,4");
    EXPECT_EQ(formatAccountingEnergy(kMax40), "1099511,6");
}
