#include "documents/recycled_memory.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace torl7 {
namespace {

TEST(RecycledMemory, aReleasedBlockServesTheNextRequestOfItsSizeAndTheLimitHolds) {
    RecycledMemory memory(100);
    void* forty = memory.allocate(40);
    void* sixty = memory.allocate(60);
    memory.release(forty);
    memory.release(sixty);
    EXPECT_EQ(memory.keptBytes(), 100u);
    void* again = memory.allocate(40);
    EXPECT_EQ(again, forty) << "same size: the kept block";
    EXPECT_EQ(memory.keptBytes(), 60u);
    void* other = memory.allocate(50);
    EXPECT_NE(other, sixty) << "another size: a new block";
    memory.release(again);
    EXPECT_EQ(memory.keptBytes(), 100u);
    memory.release(other); // 60 40 50 would pass the limit: the 60 goes
    EXPECT_EQ(memory.keptBytes(), 90u);

    struct Case {
        std::size_t size;
        std::size_t keptAfter; // releasing a block of `size` into what is kept
    };
    // Each release keeps the new block and drops the longest-kept ones until it fits.
    const std::vector<Case> cases = {
        {50, 90},   // the kept 50 serves it and comes back
        {10, 100},  // 40 50 10 fits exactly
        {120, 100}, // larger than the limit: never kept, nothing dropped for it
        {30, 90},   // the 40 goes: 50 10 30
        {60, 100},  // the 50 goes: 10 30 60
        {70, 70},   // all three go
    };
    for (const Case& c : cases) {
        memory.release(memory.allocate(c.size));
        EXPECT_EQ(memory.keptBytes(), c.keptAfter) << c.size;
    }

    // A block it never handed out (malloc'd before the store was put in place) is freed, not
    // kept: handed out again as if it were its own, it would be freed twice.
    memory.release(std::malloc(10));
    EXPECT_EQ(memory.keptBytes(), 70u);
}

} // namespace
} // namespace torl7
