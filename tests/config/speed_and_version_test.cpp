#include "protocol/codecs/speed_change_codec.hpp"
#include "protocol/codecs/version_codec.hpp"
#include "protocol/frame.hpp"
#include "protocol/line_speed.hpp"

#include <gtest/gtest.h>

using namespace torl7;

TEST(SpeedChangeFrames, pingAndSpeedSetForUnit600) {
    EXPECT_EQ(pingFrame(600), (Bytes{0xAA, 0x06, 0x02, 0x58, 0x00, 0x00, 0x01, 0x0A}));
    EXPECT_EQ(speedSetFrame(600, 7), (Bytes{0xAA, 0x06, 0x02, 0x58, 0x00, 0x01, 0x07, 0x01, 0x12}));
    const auto parsed = parseFrame(speedSetFrame(65535, 10));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->factoryNumber(), 65535);
    EXPECT_EQ(parsed->command(), 0);
    EXPECT_EQ(parsed->payload()[0], 10);
}

TEST(LineSpeed, indicesAndRatesMapBothWaysAndUnknownsAreMarked) {
    const int rates[] = {300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200};
    for (int i = 0; i < kSpeedCount; ++i) {
        EXPECT_EQ(baudForIndex(i), rates[i]);
        EXPECT_EQ(indexForBaud(rates[i]), i);
    }
    EXPECT_EQ(baudForIndex(-1), 0);
    EXPECT_EQ(baudForIndex(11), 0);
    EXPECT_EQ(baudForIndex(200), 0);
    EXPECT_EQ(indexForBaud(0), -1);
    EXPECT_EQ(indexForBaud(28800), -1);
}

TEST(LineSpeed, answerTimeoutFollowsTheSpeedAndWritesWaitLonger) {
    const int expectedMs[] = {10000, 5000, 2500, 1250, 625, 350, 300, 300, 300, 300, 300};
    for (int i = 0; i < kSpeedCount; ++i) {
        EXPECT_EQ(responseTimeoutMs(i, kind::ConfigRead), expectedMs[i]) << i;
        EXPECT_EQ(responseTimeoutMs(i, kind::Write), expectedMs[i] + 500) << i;
    }
    EXPECT_EQ(responseTimeoutMs(0, kind::Write), 10500);
    EXPECT_EQ(responseTimeoutMs(10, kind::Write), 800);
    EXPECT_EQ(responseTimeoutMs(-1, kind::Version), 300) << "no speed selected keeps the floor";
    EXPECT_EQ(responseTimeoutMs(-1, kind::Write), 800);
}

TEST(VersionText, sixteenBytesShownUnchangedAndPaddedByTheUnit) {
    const Bytes payload = encodeVersionText("ТОРЛ-7 в2.14");
    ASSERT_EQ(payload.size(), 16u);
    EXPECT_EQ(payload[0], 0xD2);
    EXPECT_EQ(payload[15], ' ');
    EXPECT_EQ(decodeVersionText(payload), "ТОРЛ-7 в2.14    ");
    EXPECT_EQ(decodeVersionText(encodeVersionText("0123456789abcdefXYZ")), "0123456789abcdef");

    // A short answer still fills 16 positions, with the zeros of the cleared receive area.
    const Bytes shortAnswer{'v', '1'};
    const std::string shown = decodeVersionText(shortAnswer);
    EXPECT_EQ(shown, std::string("v1") + std::string(14, '\0'));
    // Bytes after the sixteenth are not part of the text.
    Bytes longer = payload;
    longer.push_back('!');
    EXPECT_EQ(decodeVersionText(longer), decodeVersionText(payload));
}
