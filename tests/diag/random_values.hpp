// Seeded random values for the round trips of the codecs: any value a field can carry, so a
// failure is reproducible from the seed.
#pragma once

#include "protocol/clock_stamp.hpp"

#include <cstdint>
#include <limits>
#include <random>

namespace torl7::codec_testing {

class RandomValues {
public:
    explicit RandomValues(std::uint32_t seed) : rng_(seed) {}

    template <typename T> T any() {
        return static_cast<T>(std::uniform_int_distribution<std::uint64_t>(
            0, static_cast<std::uint64_t>(std::numeric_limits<T>::max()))(rng_));
    }
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    std::uint64_t counter40() {
        return std::uniform_int_distribution<std::uint64_t>(0, (std::uint64_t{1} << 40) - 1)(rng_);
    }
    bool coin() { return between(0, 1) == 1; }

    // Every value a stamp field can decode to, nibbles above 9 included.
    ClockStamp stamp() {
        return {between(0, maxBcdFieldValue(BcdField::Seconds)),
                between(0, maxBcdFieldValue(BcdField::Minutes)),
                between(0, maxBcdFieldValue(BcdField::Hours)),
                between(0, maxBcdFieldValue(BcdField::Day)),
                between(0, maxBcdFieldValue(BcdField::Month)),
                between(0, maxBcdFieldValue(BcdField::Year))};
    }

private:
    std::mt19937 rng_;
};

} // namespace torl7::codec_testing
