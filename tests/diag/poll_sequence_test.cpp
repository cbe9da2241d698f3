#include "protocol/poll_sequence.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace torl7;

namespace {

// The selectors asked for after one snapshot, up to and including the drawing.
std::string sequenceAfterSnapshot(int viewIndex) {
    std::string steps;
    int selector = selectorAfterSnapshot(viewIndex);
    for (int guard = 0; selector != 0 && guard < 10; ++guard) {
        steps += std::to_string(selector) + " ";
        const BlockStep step = stepAfterBlock(static_cast<std::uint8_t>(selector), viewIndex);
        if (step.draw) {
            EXPECT_EQ(step.nextSelector, 0) << "a drawing is followed by a snapshot";
            return steps + "draw";
        }
        selector = step.nextSelector;
    }
    return steps + "snapshot";
}

} // namespace

TEST(PollSequence, eachViewFetchesItsPhasesMarksTheLastAndDraws) {
    EXPECT_EQ(sequenceAfterSnapshot(0), "snapshot");
    EXPECT_EQ(sequenceAfterSnapshot(1), "17 draw");
    EXPECT_EQ(sequenceAfterSnapshot(2), "1 18 draw");
    EXPECT_EQ(sequenceAfterSnapshot(3), "1 2 19 draw");
}

TEST(PollSequence, viewIndexesOutsideTheListNeverAskForTheCalibrationSelector) {
    EXPECT_EQ(sequenceAfterSnapshot(7), "1 2 19 draw");
    EXPECT_EQ(sequenceAfterSnapshot(-1), "snapshot");
}

TEST(PollSequence, aViewChangedMidSequenceEndsItAtTheNextBlock) {
    // Phase B arrives after the view went back to phase A only: draw what there is.
    EXPECT_EQ(stepAfterBlock(2, 1), (BlockStep{true, 0}));
    // The view widened after block 17 was asked for: that block still ends the sequence.
    EXPECT_EQ(stepAfterBlock(17, 3), (BlockStep{true, 0}));
    EXPECT_EQ(stepAfterBlock(1, 3), (BlockStep{false, 2}));
    EXPECT_EQ(stepAfterBlock(1, 0), (BlockStep{true, 0}));
}
