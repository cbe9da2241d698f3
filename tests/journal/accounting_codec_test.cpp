#include "protocol/codecs/accounting_codec.hpp"

#include "diag/random_values.hpp"

#include <gtest/gtest.h>

using namespace torl7;

namespace {

const Bytes kRecord{
    0x00, 0x00, 0x0E, 0x8D,             // 3725 s
    0x01, 0x2C,                         // 300 starts
    0x00, 0x07,                         // 7 trips
    0x00, 0x07, 0x5B, 0xCD, 0x15,       // 123456789 millionths of a kWh
    0x09, 0x05, 0x14, 0x05, 0x03, 0x16, // 14:05:09 05.03.16
};

} // namespace

TEST(Accounting, everyFieldIsReadAtItsOffsetAndEncodedBack) {
    ASSERT_EQ(kRecord.size(), kAccountingSize);
    const AccountingRecord r = decodeAccounting(kRecord);
    EXPECT_EQ(r.runningSeconds, 3725u);
    EXPECT_EQ(r.starts, 300);
    EXPECT_EQ(r.trips, 7);
    EXPECT_EQ(r.energyMillionthsKwh, 123456789u);
    EXPECT_EQ(r.start, (ClockStamp{9, 5, 14, 5, 3, 16}));
    EXPECT_EQ(encodeAccounting(r), kRecord);
}

TEST(Accounting, textsOfTheFiveFields) {
    const AccountingTexts t = formatAccounting(decodeAccounting(kRecord));
    EXPECT_EQ(t.start, "05.03.2016г/14:05:09");
    EXPECT_EQ(t.runningTime, "00001:02:05");
    EXPECT_EQ(t.starts, "300");
    EXPECT_EQ(t.trips, "7");
    EXPECT_EQ(t.energy, "000123,4");
}

TEST(Accounting, countersAtTheirLimitsKeepAllDigits) {
    const Bytes full(kAccountingSize, 0xFF);
    const AccountingRecord r = decodeAccounting(full);
    EXPECT_EQ(r.energyMillionthsKwh, (std::uint64_t{1} << 40) - 1);
    const AccountingTexts t = formatAccounting(r);
    EXPECT_EQ(t.runningTime, "1193046:28:15");
    EXPECT_EQ(t.starts, "65535");
    EXPECT_EQ(t.trips, "65535");
    EXPECT_EQ(t.energy, "1099511,6");
    EXPECT_EQ(t.start, "45.25.20165г/45:85:85");
}

TEST(Accounting, aShortAnswerReadsZerosWhereItEnds) {
    const Bytes shortAnswer(kRecord.begin(), kRecord.begin() + 8);
    const AccountingRecord r = decodeAccounting(shortAnswer);
    EXPECT_EQ(r.trips, 7);
    EXPECT_EQ(r.energyMillionthsKwh, 0u);
    EXPECT_EQ(r.start, ClockStamp{});
    const AccountingTexts t = formatAccounting(r);
    EXPECT_EQ(t.energy, "000000,0");
    EXPECT_EQ(t.start, "00.00.2000г/00:00:00");
}

TEST(Accounting, randomRecordsSurviveEncodeAndDecode) {
    codec_testing::RandomValues rnd(0x5A5A0004);
    for (int i = 0; i < 1000; ++i) {
        AccountingRecord r;
        r.runningSeconds = rnd.any<std::uint32_t>();
        r.starts = rnd.any<std::uint16_t>();
        r.trips = rnd.any<std::uint16_t>();
        r.energyMillionthsKwh = rnd.counter40();
        r.start = rnd.stamp();
        const Bytes bytes = encodeAccounting(r);
        ASSERT_EQ(bytes.size(), kAccountingSize);
        ASSERT_TRUE(decodeAccounting(bytes) == r) << "iteration " << i;
    }
}
