#include "protocol/codecs/waveform_codec.hpp"

#include "diag/random_values.hpp"

#include <gtest/gtest.h>

using namespace torl7;

TEST(WaveformBlock, samplesAreInterleavedVoltageFirst) {
    WaveformBlock block;
    block.selector = 19;
    for (std::size_t i = 0; i < kWaveformSamples; ++i) {
        block.voltage[i] = static_cast<std::uint8_t>(i);
        block.current[i] = static_cast<std::uint8_t>(200 + i % 50);
    }
    const Bytes bytes = encodeWaveformBlock(block);
    ASSERT_EQ(bytes.size(), kWaveformBlockSize);
    EXPECT_EQ(bytes[0], 19);
    EXPECT_EQ(bytes[1], 0);   // voltage sample 1
    EXPECT_EQ(bytes[2], 200); // current sample 1
    EXPECT_EQ(bytes[199], 99);
    EXPECT_EQ(bytes[200], 249);
    EXPECT_TRUE(decodeWaveformBlock(bytes) == block);
}

TEST(WaveformBlock, aShortAnswerLeavesTheMissingSamplesAtZero) {
    Bytes bytes{0x02, 10, 20, 11, 21, 12};
    const WaveformBlock block = decodeWaveformBlock(bytes);
    EXPECT_EQ(block.selector, 2);
    EXPECT_EQ(block.voltage[0], 10);
    EXPECT_EQ(block.current[1], 21);
    EXPECT_EQ(block.voltage[2], 12);
    EXPECT_EQ(block.current[2], 0);
    EXPECT_EQ(block.voltage[99], 0);
}

TEST(WaveformBlock, randomBlocksSurviveEncodeAndDecode) {
    codec_testing::RandomValues rnd(0x5A5A0002);
    for (int i = 0; i < 500; ++i) {
        WaveformBlock block;
        block.selector = rnd.any<std::uint8_t>();
        for (std::size_t k = 0; k < kWaveformSamples; ++k) {
            block.voltage[k] = rnd.any<std::uint8_t>();
            block.current[k] = rnd.any<std::uint8_t>();
        }
        ASSERT_TRUE(decodeWaveformBlock(encodeWaveformBlock(block)) == block);
    }
}
