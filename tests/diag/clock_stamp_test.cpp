#include "protocol/clock_stamp.hpp"

#include <gtest/gtest.h>

using namespace torl7;

namespace {

constexpr BcdField kAllFields[] = {BcdField::Seconds, BcdField::Hours, BcdField::Month,
                                   BcdField::Year};

} // namespace

TEST(BcdField, calendarValuesGetThePlainBcdByte) {
    EXPECT_EQ(encodeBcdField(59, BcdField::Seconds), 0x59);
    EXPECT_EQ(encodeBcdField(23, BcdField::Hours), 0x23);
    EXPECT_EQ(encodeBcdField(12, BcdField::Month), 0x12);
    EXPECT_EQ(encodeBcdField(99, BcdField::Year), 0x99);
    EXPECT_EQ(encodeBcdField(0, BcdField::Day), 0x00);
}

TEST(BcdField, everyDecodableValueIsSentAsAByteThatDecodesBackToIt) {
    // A tens digit above the mask or a units nibble above 9: what a faulty record carries.
    EXPECT_EQ(encodeBcdField(45, BcdField::Hours), 0x3F);
    EXPECT_EQ(encodeBcdField(25, BcdField::Month), 0x1F);
    EXPECT_EQ(encodeBcdField(165, BcdField::Year), 0xFF);
    for (BcdField field : kAllFields) {
        for (int value = 0; value <= maxBcdFieldValue(field); ++value) {
            EXPECT_EQ(decodeBcd(encodeBcdField(value, field), field), value)
                << "value " << value << " mask " << static_cast<int>(field);
        }
    }
}

TEST(BcdField, valuesNoByteCanCarryAreClampedToTheFieldRange) {
    EXPECT_EQ(decodeBcd(encodeBcdField(200, BcdField::Hours), BcdField::Hours), 45);
    EXPECT_EQ(decodeBcd(encodeBcdField(-3, BcdField::Seconds), BcdField::Seconds), 0);
    EXPECT_EQ(decodeBcd(encodeBcdField(1000, BcdField::Year), BcdField::Year), 165);
}

TEST(ClockStamp, sixBytesSecondsFirstWithTheFieldMasks) {
    // Bit 7 of the seconds and the noise bits above each tens digit are not part of the value.
    const Bytes bytes{0x89, 0x85, 0xE3, 0xF1, 0xF2, 0x16};
    const ClockStamp stamp = decodeClockStamp(PayloadReader(bytes), 0);
    EXPECT_EQ(stamp, (ClockStamp{9, 5, 23, 31, 12, 16}));
    Bytes out;
    appendClockStamp(out, stamp);
    EXPECT_EQ(out, (Bytes{0x09, 0x05, 0x23, 0x31, 0x12, 0x16}));
    EXPECT_EQ(formatClockTime(stamp), "23:05:09");
}

TEST(ClockStamp, erasedBytesDecodeAboveTheCalendarAndSurviveReencoding) {
    const Bytes erased(6, 0xFF);
    const ClockStamp stamp = decodeClockStamp(PayloadReader(erased), 0);
    EXPECT_EQ(stamp, (ClockStamp{85, 85, 45, 45, 25, 165}));
    Bytes out;
    appendClockStamp(out, stamp);
    EXPECT_EQ(decodeClockStamp(PayloadReader(out), 0), stamp);
    EXPECT_EQ(formatClockTime(stamp), "45:85:85");
}
