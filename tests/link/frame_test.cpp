#include "protocol/frame.hpp"

#include <gtest/gtest.h>

using namespace torl7;

TEST(BuildFrame, emptyPayloadRequestIsEightBytes) {
    EXPECT_EQ(buildFrame(600, 2, {}), (Bytes{0xAA, 0x06, 0x02, 0x58, 0x02, 0x00, 0x01, 0x0C}));
    // The ping of the search and the speed change.
    EXPECT_EQ(buildFrame(600, 0, {}), (Bytes{0xAA, 0x06, 0x02, 0x58, 0x00, 0x00, 0x01, 0x0A}));
}

TEST(BuildFrame, payloadFollowsTheHeaderAndTheSumCoversIt) {
    const Bytes speedSet{0x07};
    EXPECT_EQ(buildFrame(600, 0, speedSet),
              (Bytes{0xAA, 0x06, 0x02, 0x58, 0x00, 0x01, 0x07, 0x01, 0x12}));
    const Bytes selector{0x00};
    EXPECT_EQ(buildFrame(600, 1, selector),
              (Bytes{0xAA, 0x06, 0x02, 0x58, 0x01, 0x01, 0x00, 0x01, 0x0C}));
}

TEST(BuildFrame, factoryNumberIsAWord) {
    const Bytes top = buildFrame(65535, 2, {});
    EXPECT_EQ(top[2], 0xFF);
    EXPECT_EQ(top[3], 0xFF);
    const Bytes bottom = buildFrame(100, 2, {});
    EXPECT_EQ(bottom[2], 0x00);
    EXPECT_EQ(bottom[3], 0x64);
}

TEST(BuildFrame, largestFramesKeepTheirSumInAWord) {
    const Bytes ones(kMaxPayload, 0xFF);
    const Bytes frame = buildFrame(65535, 255, ones);
    ASSERT_EQ(frame.size(), kMaxFrame);
    EXPECT_EQ(frame[5], kMaxPayload);
    const std::uint32_t sum = 0xAA + 0x06 + 0xFF + 0xFF + 0xFF + kMaxPayload + 0xFF * kMaxPayload;
    EXPECT_EQ(frame[kMaxFrame - 2], sum >> 8);
    EXPECT_EQ(frame[kMaxFrame - 1], sum & 0xFF);
    EXPECT_TRUE(parseFrame(frame));
}

TEST(ParseFrame, acceptsAnyUnitAndFixedByteButChecksTheSum) {
    Bytes answer = buildFrame(1234, 15, Bytes(16, 'x'));
    answer[1] = 0x99; // never examined, but the sum must then still be right
    const std::uint32_t sum = frameSum(ByteSpan(answer).first(answer.size() - 2));
    answer[answer.size() - 2] = static_cast<std::uint8_t>(sum >> 8);
    answer[answer.size() - 1] = static_cast<std::uint8_t>(sum);
    const auto frame = parseFrame(answer);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->command(), 15);
    EXPECT_EQ(frame->factoryNumber(), 1234);
    EXPECT_EQ(frame->payload().size(), 16u);

    answer.back() ^= 1;
    EXPECT_FALSE(parseFrame(answer));
    EXPECT_FALSE(parseFrame(Bytes{0xAA, 0x06, 0x02}));
    Bytes noSync = buildFrame(600, 2, {});
    noSync[0] = 0xAB;
    EXPECT_FALSE(parseFrame(noSync));
}
