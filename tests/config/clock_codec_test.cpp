#include "protocol/codecs/clock_codec.hpp"
#include "protocol/lost_acknowledgement.hpp"

#include <gtest/gtest.h>

using namespace torl7;

namespace {

// Tuesday 8 December 2026, 14:05:09.
ClockCorrection tuesdayAfternoon() {
    ClockCorrection c;
    c.calibration = 3;
    c.clock = ClockBlock{9, 5, 14, 3, 8, 12, 26, false};
    c.autoDst = true;
    return c;
}

} // namespace

TEST(ClockCorrection, encodesTheKnownRequestAndDecodesBack) {
    const Bytes payload = encodeClockCorrection(tuesdayAfternoon(), 2026);
    EXPECT_EQ(payload, (Bytes{0x23, 0x09, 0x05, 0x14, 0x03, 0x08, 0x12, 0x26, 0x80}));
    EXPECT_EQ(decodeClockCorrection(payload), tuesdayAfternoon());

    ClockCorrection plain = tuesdayAfternoon();
    plain.autoDst = false;
    plain.calibration = -31;
    const Bytes plainPayload = encodeClockCorrection(plain, 2026);
    EXPECT_EQ(plainPayload[0], 0x1F);
    EXPECT_EQ(plainPayload[8], 0x00);
    EXPECT_EQ(decodeClockCorrection(plainPayload), plain);
}

TEST(ClockCorrection, stopBitWeekdaysAndTheYearByte) {
    ClockCorrection c = tuesdayAfternoon();
    c.clock.seconds = 59;
    c.clock.stopped = true;
    c.clock.weekday = 1;
    Bytes payload = encodeClockCorrection(c, 2026);
    EXPECT_EQ(payload[1], 0xD9);
    EXPECT_EQ(payload[4], 0x01) << "Sunday";
    EXPECT_EQ(decodeClockCorrection(payload).clock, c.clock);

    c.clock.weekday = 7;
    EXPECT_EQ(encodeClockCorrection(c, 2026)[4], 0x07) << "Saturday";

    // The year byte follows the full year given, whatever clock.year holds.
    c.clock.year = 0;
    EXPECT_EQ(encodeClockCorrection(c, 2099)[7], 0x99);
    EXPECT_EQ(encodeClockCorrection(c, 2000)[7], 0x00);
    EXPECT_EQ(encodeClockCorrection(c, 2100)[7], 0xA0) << "y = 100: 10 x 16 + 0";
    EXPECT_EQ(encodeClockCorrection(c, 1999)[7], 0x39) << "99 x 16 + 9 = 1593, low 8 bits";
}

TEST(ClockCalibration, signBitFiveAndFiveBitsOfMagnitude) {
    EXPECT_EQ(encodeClockCalibration(3), 0x23);
    EXPECT_EQ(encodeClockCalibration(-5), 0x05);
    EXPECT_EQ(encodeClockCalibration(0), 0x20);
    EXPECT_EQ(encodeClockCalibration(31), 0x3F);
    EXPECT_EQ(encodeClockCalibration(-31), 0x1F);
    EXPECT_EQ(decodeClockCalibration(0x25), 5);
    EXPECT_EQ(decodeClockCalibration(0x05), -5);
    EXPECT_EQ(decodeClockCalibration(0x20), 0);
    EXPECT_EQ(decodeClockCalibration(0x00), 0);
    EXPECT_EQ(decodeClockCalibration(0xE5), 5) << "bits 7..6 are not part of the value";
    EXPECT_EQ(decodeClockCalibration(0xC5), -5);

    for (int v = -31; v <= 31; ++v) {
        ASSERT_EQ(decodeClockCalibration(encodeClockCalibration(v)), v) << v;
    }
    // Beyond five bits the magnitude would run into the sign bit.
    EXPECT_EQ(encodeClockCalibration(32), 0x3F);
    EXPECT_EQ(encodeClockCalibration(-40), 0x1F);
}

TEST(ClockCorrection, shortPayloadDecodesAsZeros) {
    const Bytes head{0x3F, 0x80};
    const ClockCorrection c = decodeClockCorrection(head);
    EXPECT_EQ(c.calibration, 31);
    EXPECT_TRUE(c.clock.stopped);
    EXPECT_EQ(c.clock.seconds, 0);
    EXPECT_EQ(c.clock.month, 0);
    EXPECT_FALSE(c.autoDst);
}

TEST(ClockCorrection, theCorrectionTakesTimeDateAndTheUnitsWeekdayFromOneReading) {
    EXPECT_EQ(clockCorrectionAt({2026, 12, 8, 14, 5, 9}, {3, false, true}), tuesdayAfternoon());
    struct Case {
        LocalDateTime at;
        int weekday; // 1 = Sunday
    };
    for (const Case& c : {Case{{2026, 12, 6, 0, 0, 0}, 1}, Case{{2026, 12, 12, 23, 59, 58}, 7},
                          Case{{2000, 2, 29}, 3}, Case{{2000, 3, 1}, 4}, Case{{2099, 12, 31}, 5},
                          Case{{2100, 3, 1}, 2}, Case{{1970, 1, 1}, 5}, Case{{2024, 1, 1}, 2}}) {
        const ClockCorrection correction = clockCorrectionAt(c.at, {0, true, false});
        EXPECT_EQ(correction.clock.weekday, c.weekday)
            << c.at.year << "-" << c.at.month << "-" << c.at.day;
        EXPECT_EQ(correction.clock.year, c.at.year % 100);
        EXPECT_TRUE(correction.clock.stopped);
    }
}

// After a correction whose acknowledgement was lost, the unit's clock in the next snapshot
// tells whether it was taken: within two seconds of the PC's time, across midnight and the
// year's end too; a clock that shows no calendar date tells nothing.
TEST(ClockCorrection, theClockAfterALostAcknowledgementTellsWhetherTheCorrectionWasTaken) {
    const LocalDateTime newYear{2027, 1, 1, 0, 0, 1};
    const struct {
        ClockStamp unit; // seconds, minutes, hours, day, month, year
        LocalDateTime pc;
        ClockFinding finding;
    } cases[] = {
        {{9, 5, 14, 8, 12, 26}, {2026, 12, 8, 14, 5, 9}, ClockFinding::ShowsPcTime},
        {{11, 5, 14, 8, 12, 26}, {2026, 12, 8, 14, 5, 9}, ClockFinding::ShowsPcTime},
        {{12, 5, 14, 8, 12, 26}, {2026, 12, 8, 14, 5, 9}, ClockFinding::Differs},
        {{59, 59, 23, 31, 12, 26}, newYear, ClockFinding::ShowsPcTime},
        {{1, 0, 0, 1, 1, 26}, newYear, ClockFinding::Differs}, // a year off
        {{0, 0, 12, 30, 2, 27}, newYear, ClockFinding::NoDate},
        {{0, 0, 24, 1, 1, 27}, newYear, ClockFinding::NoDate},
        {{0, 60, 0, 1, 1, 27}, newYear, ClockFinding::NoDate},
        {{0, 0, 0, 29, 2, 24}, {2024, 2, 29, 0, 0, 0}, ClockFinding::ShowsPcTime},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(clockAfterCorrection(c.unit, c.pc), c.finding)
            << c.unit.day << "." << c.unit.month << "." << c.unit.year << " " << c.unit.hours << ":"
            << c.unit.minutes << ":" << c.unit.seconds;
    }
}
