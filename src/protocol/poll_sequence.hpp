// Which diagnostics selector the poll asks for next. After every snapshot the poll fetches the
// waveform blocks of the first n phases (n = the index of the view list, 0..3), the last one
// marked by 16 added to its selector, draws, and asks for the next snapshot. Pure: no Qt.
#pragma once

#include <cstdint>

namespace torl7 {

// View indexes outside 0..3 are taken as the nearest of them: a fourth block would ask for
// selector 4, which is the calibration measurement, not a waveform.
inline constexpr int kMaxViewIndex = 3;
inline constexpr std::uint8_t kLastBlockFlag = 16;

// Selector after a snapshot: 0 (another snapshot) with no phase to view, 17 when phase A is
// the only one, else 1.
std::uint8_t selectorAfterSnapshot(int viewIndex);

struct BlockStep {
    bool draw = false;             // the sequence is complete: draw, then ask for a snapshot
    std::uint8_t nextSelector = 0; // 0 when drawing

    bool operator==(const BlockStep&) const = default;
};

// After the waveform block `selector`: the next block while the selector is below the view
// index, otherwise draw. A block with 16 added is always the last.
BlockStep stepAfterBlock(std::uint8_t selector, int viewIndex);

} // namespace torl7
