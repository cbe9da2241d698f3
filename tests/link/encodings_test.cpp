#include "protocol/encodings.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

using namespace torl7;

TEST(Word, valuesInRangeAreBigEndianAndOutsideAreRefused) {
    EXPECT_EQ(encodeWord(0), (std::array<std::uint8_t, 2>{0x00, 0x00}));
    EXPECT_EQ(encodeWord(600), (std::array<std::uint8_t, 2>{0x02, 0x58}));
    EXPECT_EQ(encodeWord(65535), (std::array<std::uint8_t, 2>{0xFF, 0xFF}));
    EXPECT_FALSE(encodeWord(65536));
    EXPECT_FALSE(encodeWord(-1));

    Bytes out{0x01};
    EXPECT_FALSE(appendWord(out, 70000));
    EXPECT_EQ(out, Bytes{0x01}) << "a refused word must leave the output untouched";
    EXPECT_TRUE(appendWord(out, 0x1234));
    EXPECT_EQ(out, (Bytes{0x01, 0x12, 0x34}));
}

TEST(PayloadReader, readsCountersMostSignificantFirstAndZerosPastTheEnd) {
    const Bytes payload{0x00, 0x00, 0x0F, 0x42, 0x40, 0xFF, 0xFF, 0xFF, 0xFF};
    PayloadReader in(payload);
    EXPECT_EQ(in.u40(0), 1000000u);
    EXPECT_EQ(in.u32(5), 4294967295u);
    EXPECT_EQ(in.word(3), 0x4240);
    EXPECT_EQ(in.u24(2), 0x0F4240u);
    // A short answer: the missing bytes read as the zeros of the cleared receive area.
    EXPECT_EQ(in.word(8), 0xFF00);
    EXPECT_EQ(in.u32(100), 0u);
    EXPECT_EQ(in.bytes(7, 4), (Bytes{0xFF, 0xFF, 0, 0}));

    const Bytes max40{0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(PayloadReader(max40).u40(0), (std::uint64_t{1} << 40) - 1);
}

TEST(Bcd, encodesDecimalDigitsAndDecodesWithTheFieldMasks) {
    EXPECT_EQ(encodeBcd(59), 0x59);
    EXPECT_EQ(encodeBcd(0), 0x00);
    EXPECT_EQ(encodeBcd(7), 0x07);
    EXPECT_EQ(decodeBcd(0x59, BcdField::Seconds), 59);
    // Flag bits above the tens digit are not part of the value.
    EXPECT_EQ(decodeBcd(0xE3, BcdField::Hours), 23);
    EXPECT_EQ(decodeBcd(0xF2, BcdField::Month), 12);
    EXPECT_EQ(decodeBcd(0x89, BcdField::Seconds), 9);
    EXPECT_EQ(decodeBcd(0xB1, BcdField::Day), 31);
    EXPECT_EQ(decodeBcd(0x99, BcdField::Year), 99);
    // No range check: a nibble above 9 still gives a number, for validation to reject.
    EXPECT_EQ(decodeBcd(0x4F, BcdField::Seconds), 55);
    EXPECT_EQ(decodeBcd(0xFF, BcdField::Year), 165);
}

TEST(Tenths, truncateTowardZeroAndAcceptCommaAndPoint) {
    EXPECT_EQ(parseTenths("2.5"), 25);
    EXPECT_EQ(parseTenths("2,5"), 25);
    EXPECT_EQ(parseTenths("0.3"), 3);
    EXPECT_EQ(parseTenths("0,05"), 0);
    EXPECT_EQ(parseTenths("0.39"), 3);
    EXPECT_EQ(parseTenths("15"), 150);
    EXPECT_EQ(parseTenths("10,0"), 100);
    EXPECT_EQ(parseTenths(" 25,5 "), 255);
    EXPECT_EQ(parseTenths(",5"), 5);
    EXPECT_EQ(parseTenths("5,"), 50);
    EXPECT_EQ(parseTenths("-0,39"), -3);
    EXPECT_EQ(parseTenths("6553,5"), 65535);
}

TEST(Tenths, textsThatAreNotNumbersAreRefused) {
    for (const char* text : {"", " ", ",", "-", "1,2,3", "1.2.3", "abc", "1e3", "12a", "--1", "1 2",
                             "0x10", "99999999999999999"}) {
        EXPECT_FALSE(parseTenths(text)) << '"' << text << '"';
        EXPECT_FALSE(parseDecimal(text)) << '"' << text << '"';
    }
}

TEST(IntegerParsing, isStrict) {
    EXPECT_EQ(parseInteger("570"), 570);
    EXPECT_EQ(parseInteger("-1"), -1);
    EXPECT_EQ(parseInteger(" 42 "), 42);
    EXPECT_EQ(parseInteger("+7"), 7);
    for (const char* text : {"", "5,0", "5.", "1e2", "12a", "-", "٣"}) {
        EXPECT_FALSE(parseInteger(text)) << '"' << text << '"';
    }
}

TEST(DecimalParsing, readsCommaOrPoint) {
    EXPECT_DOUBLE_EQ(*parseDecimal("5699,9"), 5699.9);
    EXPECT_DOUBLE_EQ(*parseDecimal("-0.5"), -0.5);
    EXPECT_DOUBLE_EQ(*parseDecimal("100"), 100.0);
    EXPECT_DOUBLE_EQ(*parseDecimal("0"), 0.0);
}

// The programs run in the user's locale (Qt on Linux hands it to the C library); in a Russian one
// the C library reads "5699.9" as 5699: a typed number must read the same in every locale.
TEST(DecimalParsing, readsTheSameInALocaleWithADecimalComma) {
    const std::string original = std::setlocale(LC_NUMERIC, nullptr);
    bool comma = false;
    for (const char* name : {"ru_RU.UTF-8", "Russian_Russia.1251"}) {
        comma = std::setlocale(LC_NUMERIC, name) && *std::localeconv()->decimal_point == ',';
        if (comma) {
            break;
        }
    }
    if (!comma) {
        std::setlocale(LC_NUMERIC, original.c_str());
        GTEST_SKIP() << "no locale with a decimal comma here (Windows always has Russian)";
    }
    const double point = parseDecimal("5699.9").value_or(NAN);
    const double negativeComma = parseDecimal("-0,5").value_or(NAN);
    std::setlocale(LC_NUMERIC, original.c_str());
    EXPECT_DOUBLE_EQ(point, 5699.9);
    EXPECT_DOUBLE_EQ(negativeComma, -0.5);
}

TEST(ClockBlock, encodesTheSevenRegistersAndDecodesWithMasks) {
    const ClockBlock clock{.seconds = 9,
                           .minutes = 5,
                           .hours = 14,
                           .weekday = 3,
                           .day = 8,
                           .month = 12,
                           .year = 26,
                           .stopped = false};
    const auto bytes = encodeClockBlock(clock);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), (Bytes{0x09, 0x05, 0x14, 0x03, 0x08, 0x12, 0x26}));
    EXPECT_EQ(decodeClockBlock(PayloadReader(bytes), 0), clock);

    ClockBlock stopped = clock;
    stopped.seconds = 59;
    stopped.stopped = true;
    EXPECT_EQ(encodeClockBlock(stopped)[0], 0xD9);
    EXPECT_EQ(decodeClockBlock(PayloadReader(encodeClockBlock(stopped)), 0), stopped);

    // Flag bits the unit leaves in hours, day and month are not part of the values.
    const Bytes noisy{0x89, 0x85, 0xE3, 0x01, 0xF1, 0xF2, 0x99};
    const auto decoded = decodeClockBlock(PayloadReader(noisy), 0);
    EXPECT_EQ(decoded.seconds, 9);
    EXPECT_TRUE(decoded.stopped);
    EXPECT_EQ(decoded.minutes, 5);
    EXPECT_EQ(decoded.hours, 23);
    EXPECT_EQ(decoded.day, 31);
    EXPECT_EQ(decoded.month, 12);
    EXPECT_EQ(decoded.year, 99);
}

TEST(NumberTexts, useTheCommaWhateverTheLocale) {
    EXPECT_EQ(formatTenths(125), "12,5");
    EXPECT_EQ(formatTenths(0), "0,0");
    EXPECT_EQ(formatTenths(999), "99,9");
    EXPECT_EQ(formatTenths(-5), "-0,5");
    EXPECT_EQ(formatTenthsWhole(1000), "100");
    EXPECT_EQ(formatTenthsWhole(1005), "101");
    EXPECT_EQ(formatTenthsWhole(1004), "100");
    EXPECT_EQ(formatTenthsWhole(65535), "6554");
    EXPECT_EQ(twoDigits(7), "07");
    EXPECT_EQ(twoDigits(10), "10");
    EXPECT_EQ(twoDigits(165), "165");
}
