#include "protocol/frame_assembler.hpp"

#include <gtest/gtest.h>

#include <random>

using namespace torl7;

namespace {

// Written out by hand: AA 06, factory number 600, code 2, no payload, sum 0x010C.
const Bytes kConfigRead{0xAA, 0x06, 0x02, 0x58, 0x02, 0x00, 0x01, 0x0C};

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The frame rule read straight from the line format, independent of the receiver: sync byte,
// length at most 247 filling the bytes exactly, and the word after the payload equal to the
// plain sum of everything before it, high byte first.
bool wellFormed(const Bytes& b) {
    if (b.size() < 8 || b[0] != 0xAA || b[5] > 247 || b.size() != b[5] + 8u) {
        return false;
    }
    unsigned sum = 0;
    for (std::size_t i = 0; i < b.size() - 2; ++i) {
        sum += b[i];
    }
    return sum == (unsigned{b[b.size() - 2]} << 8 | b.back());
}

// Feeds the stream in pieces of the given sizes (cycled) and drains everything found.
struct Scan {
    std::vector<Bytes> frames;
    std::vector<FrameAssembler::Dropped> drops;
    std::size_t pendingAtEnd = 0;
};
Scan scan(const Bytes& stream, const std::vector<std::size_t>& cuts = {}) {
    FrameAssembler assembler;
    Scan result;
    std::size_t pos = 0;
    for (std::size_t i = 0; pos < stream.size(); ++i) {
        const std::size_t len =
            cuts.empty() ? stream.size() : std::min(cuts[i % cuts.size()], stream.size() - pos);
        assembler.append(ByteSpan(stream).subspan(pos, len));
        pos += len;
        while (auto item = assembler.next()) {
            if (item->frame) {
                result.frames.push_back(item->frame->bytes());
            } else {
                result.drops.push_back(item->reason);
            }
        }
        EXPECT_LT(assembler.pending(), kMaxFrame) << "at most one unfinished frame is kept";
    }
    result.pendingAtEnd = assembler.pending();
    return result;
}

} // namespace

TEST(FrameAssembler, findsEveryFrameOfTheStreamInLineOrder) {
    const Bytes snapshot = buildFrame(600, 1, Bytes(55, 0x10));
    const Bytes ack = buildFrame(600, 5, {});
    Bytes badSum = kConfigRead;
    badSum[6] ^= 0x01; // the high byte of the sum
    const Bytes oversized{0xAA, 0x06, 0x02, 0x58, 0x06, 0xF8, 0x11, 0x22};
    struct Case {
        const char* name;
        Bytes stream;
        std::vector<Bytes> frames;
    };
    const std::vector<Case> cases{
        {"clean", kConfigRead, {kConfigRead}},
        {"noise before", concat({{0x55, 0x00}, kConfigRead}), {kConfigRead}},
        {"sync bytes inside the payload",
         buildFrame(600, 6, Bytes{0xAA, 0xAA, 0x01}),
         {buildFrame(600, 6, Bytes{0xAA, 0xAA, 0x01})}},
        // A stray sync byte reads the answer's command (2) as its length.
        {"stray sync right before", concat({{0xAA}, kConfigRead}), {kConfigRead}},
        // ... or the answer's own sync byte (170) as its length, and would swallow it.
        {"stray sync four bytes before",
         concat({{0xAA, 0x01, 0x02, 0x03, 0x04}, kConfigRead}),
         {kConfigRead}},
        // Whole, the false frame is complete (with a bad sum) and holds the real one.
        {"stray sync before, bytes after", concat({{0xAA}, kConfigRead, {0x00, 0x00}}),
         {kConfigRead}},
        {"impossible length before", concat({oversized, kConfigRead}), {kConfigRead}},
        {"bad sum before", concat({badSum, kConfigRead}), {kConfigRead}},
        {"bad sum alone", badSum, {}},
        // A late poll answer and a reset's acknowledgement in one read: both are found.
        {"two frames in one read", concat({snapshot, ack}), {snapshot, ack}},
        {"trailing bytes", concat({kConfigRead, {0x00, 0x13}}), {kConfigRead}},
        {"longest payload",
         buildFrame(600, 6, Bytes(247, 0x5A)),
         {buildFrame(600, 6, Bytes(247, 0x5A))}},
        {"all sync bytes", Bytes(300, 0xAA), {}},
    };
    const std::vector<std::vector<std::size_t>> cuttings{{}, {1}, {2, 5}, {7, 1, 12}};
    for (const Case& c : cases) {
        for (const auto& cuts : cuttings) {
            EXPECT_EQ(scan(c.stream, cuts).frames, c.frames)
                << c.name << ", pieces of " << (cuts.empty() ? 0 : cuts[0]);
        }
    }
}

TEST(FrameAssembler, saysWhyBytesWereDropped) {
    Bytes badSum = kConfigRead;
    badSum.back() ^= 0x01;
    using D = FrameAssembler::Dropped;
    EXPECT_EQ(scan(concat({{0x55}, kConfigRead})).drops, std::vector<D>{D::NoSync});
    EXPECT_EQ(scan(badSum).drops, std::vector<D>{D::BadSum});
    // A false start gives up everything up to the next sync byte, as one run.
    EXPECT_EQ(scan(Bytes{0xAA, 0x06, 0x02, 0x58, 0x06, 248}).drops,
              std::vector<D>{D::ImpossibleLength});
    EXPECT_EQ(scan(concat({{0xAA, 0x01, 0x02, 0x03, 0x04}, kConfigRead})).drops,
              std::vector<D>{D::Overtaken});
    // An unfinished frame waits; the next request's reset discards it.
    EXPECT_EQ(scan(Bytes(kConfigRead.begin(), kConfigRead.begin() + 7)).pendingAtEnd, 7u);
}

TEST(FrameAssembler, feedHandsOutOneFrameAndKeepsTheRestForTheNextCall) {
    FrameAssembler assembler;
    const Bytes ack = buildFrame(600, 5, {});
    const auto first = assembler.feed(concat({kConfigRead, ack}));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->bytes(), kConfigRead);
    const auto second = assembler.feed({});
    ASSERT_TRUE(second);
    EXPECT_EQ(second->bytes(), ack);
    EXPECT_FALSE(assembler.feed({}));
}

TEST(FrameAssembler, handsOutOnlyWellFormedFramesWhateverTheBytes) {
    // Every single-byte change of three frames, and random streams: whatever comes out passes
    // the rule read from the line format, and a change of any byte never yields the original.
    const std::vector<Bytes> frames{kConfigRead, buildFrame(600, 1, Bytes{0x00, 0x09, 0x05}),
                                    buildFrame(600, 7, Bytes(19, 0x42))};
    for (const auto& original : frames) {
        for (std::size_t pos = 0; pos < original.size(); ++pos) {
            for (int value = 0; value < 256; ++value) {
                Bytes mutated = original;
                mutated[pos] = static_cast<std::uint8_t>(value);
                const Scan s = scan(mutated);
                for (const Bytes& frame : s.frames) {
                    EXPECT_TRUE(wellFormed(frame));
                }
                EXPECT_EQ(s.frames.size() == 1 && s.frames[0] == mutated, wellFormed(mutated))
                    << "byte " << pos << " = " << value;
            }
        }
    }
    std::mt19937 rng(20261209);
    for (int round = 0; round < 200; ++round) {
        Bytes stream(std::uniform_int_distribution<std::size_t>(0, 600)(rng));
        for (auto& b : stream) {
            b = static_cast<std::uint8_t>(rng() % 4 == 0 ? 0xAA : rng());
        }
        for (const Bytes& frame : scan(stream, {1 + rng() % 9}).frames) {
            EXPECT_TRUE(wellFormed(frame));
        }
    }
}
