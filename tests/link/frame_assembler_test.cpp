#include "protocol/frame_assembler.hpp"

#include <gtest/gtest.h>

#include <random>

using namespace torl7;

namespace {

const Bytes kConfigRead{0xAA, 0x06, 0x02, 0x58, 0x02, 0x00, 0x01, 0x0C};

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// Feeds the stream in the given pieces and collects every frame handed out.
std::vector<Frame> feedPieces(FrameAssembler& assembler, const std::vector<Bytes>& pieces) {
    std::vector<Frame> frames;
    for (const auto& piece : pieces) {
        if (auto frame = assembler.feed(piece)) {
            frames.push_back(*frame);
        }
    }
    return frames;
}

std::vector<Frame> feedWhole(const Bytes& stream) {
    FrameAssembler assembler;
    return feedPieces(assembler, {stream});
}

std::vector<Frame> feedByteByByte(const Bytes& stream) {
    FrameAssembler assembler;
    std::vector<Bytes> pieces;
    for (auto b : stream) {
        pieces.push_back({b});
    }
    return feedPieces(assembler, pieces);
}

std::vector<Frame> feedCutAtRandom(const Bytes& stream, std::mt19937& rng) {
    FrameAssembler assembler;
    std::vector<Bytes> pieces;
    std::size_t pos = 0;
    while (pos < stream.size()) {
        const std::size_t len = std::uniform_int_distribution<std::size_t>(1, 12)(rng);
        const std::size_t end = std::min(stream.size(), pos + len);
        pieces.emplace_back(stream.begin() + static_cast<long>(pos),
                            stream.begin() + static_cast<long>(end));
        pos = end;
    }
    return feedPieces(assembler, pieces);
}

class FrameAssemblerTest : public ::testing::Test {
protected:
    FrameAssembler assembler;
};

} // namespace

TEST_F(FrameAssemblerTest, frameInThreePiecesIsDeliveredOnceAfterTheLastPiece) {
    EXPECT_FALSE(assembler.feed(Bytes{0xAA, 0x06}));
    EXPECT_FALSE(assembler.feed(Bytes{0x02, 0x58, 0x02}));
    const auto frame = assembler.feed(Bytes{0x00, 0x01, 0x0C});
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->bytes(), kConfigRead);
    EXPECT_EQ(frame->command(), 2);
    EXPECT_EQ(frame->length(), 0);
    EXPECT_EQ(assembler.state(), FrameAssembler::State::Delivered);
}

TEST_F(FrameAssemblerTest, noiseBeforeTheSyncByteIsDropped) {
    const auto frame = assembler.feed(concat({{0x55, 0x00}, kConfigRead}));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->bytes(), kConfigRead);
}

TEST_F(FrameAssemblerTest, secondSyncByteInsideAFrameIsData) {
    const Bytes payload{0xAA, 0xAA, 0x01};
    const Bytes answer = buildFrame(600, 6, payload);
    const auto frame = assembler.feed(answer);
    ASSERT_TRUE(frame);
    EXPECT_EQ(Bytes(frame->payload().begin(), frame->payload().end()), payload);
}

TEST_F(FrameAssemblerTest, trailingBytesNeverDeliverTheSameFrameAgain) {
    ASSERT_TRUE(assembler.feed(concat({kConfigRead, {0x00, 0x13}})));
    EXPECT_FALSE(assembler.feed(Bytes{0x37}));
    EXPECT_FALSE(assembler.feed(kConfigRead)) << "one answer per request";
    assembler.reset();
    EXPECT_TRUE(assembler.feed(kConfigRead)) << "a new request starts gathering again";
}

TEST_F(FrameAssemblerTest, wrongChecksumIsDroppedAndGatheringStartsOver) {
    Bytes bad = kConfigRead;
    bad.back() ^= 0x01;
    EXPECT_FALSE(assembler.feed(bad));
    EXPECT_EQ(assembler.state(), FrameAssembler::State::WaitingForSync);
    // A good frame right behind a bad one is still found.
    const auto frame = assembler.feed(concat({bad, kConfigRead}));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->bytes(), kConfigRead);
}

TEST_F(FrameAssemblerTest, emptyPayloadAnswerIsCompleteAfterEightBytes) {
    EXPECT_FALSE(assembler.feed(ByteSpan(kConfigRead).first(7)));
    EXPECT_EQ(assembler.gathered(), 7u);
    EXPECT_TRUE(assembler.feed(ByteSpan(kConfigRead).last(1)));
}

TEST_F(FrameAssemblerTest, lengthsUpTo247AreGatheredAndLongerOnesAbandoned) {
    for (std::size_t length : {0u, 1u, 241u, 247u}) {
        assembler.reset();
        const Bytes answer = buildFrame(600, 6, Bytes(length, 0x5A));
        const auto frame = assembler.feed(answer);
        ASSERT_TRUE(frame) << length;
        EXPECT_EQ(frame->length(), length);
    }
    for (int length : {248, 255}) {
        assembler.reset();
        Bytes oversized{0xAA, 0x06, 0x02, 0x58, 0x06, static_cast<std::uint8_t>(length)};
        oversized.resize(6 + length + 2, 0x11);
        EXPECT_FALSE(assembler.feed(oversized)) << length;
        EXPECT_LE(assembler.gathered(), kMaxFrame);
        // The receiver waits for the next sync byte; an answer after the junk gets through.
        EXPECT_TRUE(assembler.feed(kConfigRead)) << length;
    }
}

TEST_F(FrameAssemblerTest, truncatedFrameIsNeverCompletedAndTheNextRequestDiscardsIt) {
    const Bytes answer = buildFrame(600, 7, Bytes(19, 0x01));
    for (std::size_t cut = 1; cut < answer.size(); ++cut) {
        assembler.reset();
        EXPECT_FALSE(assembler.feed(ByteSpan(answer).first(cut))) << cut;
        assembler.reset();
        EXPECT_TRUE(assembler.feed(answer)) << cut;
    }
}

TEST_F(FrameAssemblerTest, echoOfTheRequestIsSkippedOnceAndTheAnswerBehindItDelivered) {
    const Bytes request = buildFrame(600, 1, Bytes{0x00});
    const Bytes answer = buildFrame(600, 1, Bytes(55, 0x10));
    assembler.reset(request);
    const auto frame = assembler.feed(concat({request, answer}));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->bytes(), answer);

    // Only one echo is swallowed: a second identical frame is taken as the answer.
    assembler.reset(request);
    EXPECT_FALSE(assembler.feed(request));
    const auto second = assembler.feed(request);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->bytes(), request);

    // Without an echo to ignore, an identical frame is the answer (a write acknowledged by
    // repetition).
    assembler.reset();
    EXPECT_TRUE(assembler.feed(request));
}

TEST(FrameAssemblerSlicing, wholeByteByByteAndRandomCutsAgree) {
    std::mt19937 rng(20261208);
    const Bytes bad = [] {
        Bytes b = buildFrame(600, 3, Bytes{0x00});
        b[7] ^= 0x40;
        return b;
    }();
    const std::vector<Bytes> streams{
        kConfigRead,
        concat({{0x55, 0x00}, kConfigRead}),
        concat({bad, buildFrame(600, 1, Bytes(201, 0x80))}),
        concat({{0xAA, 0x06, 0x02, 0x58, 0x06, 0xF8}, Bytes(40, 0x00), kConfigRead}),
        concat({kConfigRead, kConfigRead, {0xAA}}),
        concat({{0xAA, 0xAA, 0xAA}, kConfigRead}),
        buildFrame(600, 6, Bytes(241, 0xAA)),
        Bytes(300, 0xAA),
    };
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const auto whole = feedWhole(streams[i]);
        EXPECT_EQ(feedByteByByte(streams[i]), whole) << "stream " << i;
        for (int round = 0; round < 50; ++round) {
            EXPECT_EQ(feedCutAtRandom(streams[i], rng), whole) << "stream " << i;
        }
    }
}

TEST(FrameAssemblerMutation, everySingleByteChangeIsRejectedOrAnotherValidFrame) {
    const std::vector<Bytes> frames{kConfigRead, buildFrame(600, 1, Bytes{0x00, 0x09, 0x05}),
                                    buildFrame(600, 7, Bytes(19, 0x42))};
    for (const auto& original : frames) {
        for (std::size_t pos = 0; pos < original.size(); ++pos) {
            for (int value = 0; value < 256; ++value) {
                if (value == original[pos]) {
                    continue;
                }
                Bytes mutated = original;
                mutated[pos] = static_cast<std::uint8_t>(value);
                FrameAssembler assembler;
                const auto frame = assembler.feed(mutated);
                if (frame) {
                    // Anything handed out must itself be a well-formed frame, and never the
                    // original one.
                    EXPECT_TRUE(parseFrame(frame->bytes()));
                    EXPECT_NE(frame->bytes(), original);
                }
                EXPECT_LE(assembler.gathered(), kMaxFrame);
            }
        }
    }
}
