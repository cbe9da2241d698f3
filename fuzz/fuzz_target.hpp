// What every fuzz target provides: the libFuzzer entry point and its seeds. A target aborts
// on a broken invariant; the sanitizers catch what it cannot see.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Seeds for the mutation test: the byte vectors the unit tests use.
std::vector<std::vector<std::uint8_t>> fuzzSeeds();

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: broken invariant: %s\n", __FILE__, __LINE__,         \
                         #condition);                                                          \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)
