// Receive cost per frame: the assembler must never be what limits the poll rate.
#include "protocol/frame_assembler.hpp"

#include <benchmark/benchmark.h>

using namespace torl7;

static void BM_AssembleEventBlock(benchmark::State& state) {
    const Bytes answer = buildFrame(600, 6, Bytes(241, 0x5A));
    const auto slice = static_cast<std::size_t>(state.range(0));
    FrameAssembler assembler;
    for (auto _ : state) {
        assembler.reset();
        std::optional<Frame> frame;
        for (std::size_t pos = 0; pos < answer.size(); pos += slice) {
            frame =
                assembler.feed(ByteSpan(answer).subspan(pos, std::min(slice, answer.size() - pos)));
        }
        benchmark::DoNotOptimize(frame);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_AssembleEventBlock)->Arg(1)->Arg(16)->Arg(249);
