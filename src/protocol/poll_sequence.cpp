#include "protocol/poll_sequence.hpp"

#include <algorithm>

namespace torl7 {

namespace {

int phasesToView(int viewIndex) {
    return std::clamp(viewIndex, 0, kMaxViewIndex);
}

std::uint8_t blockSelector(int phase, int phases) {
    return static_cast<std::uint8_t>(phase == phases ? phase + kLastBlockFlag : phase);
}

} // namespace

std::uint8_t selectorAfterSnapshot(int viewIndex) {
    const int phases = phasesToView(viewIndex);
    return phases == 0 ? 0 : blockSelector(1, phases);
}

BlockStep stepAfterBlock(std::uint8_t selector, int viewIndex) {
    const int phases = phasesToView(viewIndex);
    if (selector < phases) {
        return {false, blockSelector(selector + 1, phases)};
    }
    return {true, 0};
}

} // namespace torl7
