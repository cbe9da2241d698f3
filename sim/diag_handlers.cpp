// Command 1: the status snapshot (selector 0) and the waveform blocks of phases A, B, C
// (selectors 1..3, with 16 added on the last block of a sequence, which the answer echoes).
#include "sim/handlers.hpp"
#include "sim/measurements.hpp"

namespace torl7::sim {

namespace {
constexpr std::uint8_t kLastBlockFlag = 16;
}

Answer handleDiagnostics(HandlerContext& unit, const PayloadReader& request) {
    const std::uint8_t selector = request.byte(0);
    const WallTime now = unit.clock.now();
    if (selector == kSnapshotSelector) {
        return encodeSnapshot(snapshotAt(unit.state, now));
    }
    const int phase = selector & ~kLastBlockFlag;
    if (phase >= 1 && phase <= 3) {
        WaveformBlock block = waveformAt(unit.state, now, phase);
        block.selector = selector;
        return encodeWaveformBlock(block);
    }
    return std::nullopt; // no such view
}

} // namespace torl7::sim
