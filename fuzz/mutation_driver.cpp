// A deterministic stand-in for libFuzzer: mutates the seeds with a fixed random sequence and
// runs the target on every mutant, so CTest exercises each target under the sanitizers.
// `--write-seeds DIR` instead writes the seeds as files, the starting corpus of a libFuzzer run.
#include "fuzz_target.hpp"

#include <fstream>
#include <random>
#include <string>

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write-seeds") {
        const auto seeds = fuzzSeeds();
        for (std::size_t i = 0; i < seeds.size(); ++i) {
            std::ofstream out(std::string(argv[2]) + "/seed-" + std::to_string(i),
                              std::ios::binary);
            out.write(reinterpret_cast<const char*>(seeds[i].data()),
                      static_cast<std::streamsize>(seeds[i].size()));
            if (!out) {
                std::fprintf(stderr, "cannot write the seeds into %s\n", argv[2]);
                return 1;
            }
        }
        return 0;
    }
    const long runs = argc > 1 ? std::stol(argv[1]) : 100000;
    std::mt19937 rng(0x70524C37); // fixed: a failure is reproducible from the run count
    auto seeds = fuzzSeeds();
    seeds.push_back({});
    for (const auto& seed : seeds) {
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
    }
    auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n)(rng);
    };
    for (long run = 0; run < runs; ++run) {
        std::vector<std::uint8_t> input = seeds[pick(seeds.size() - 1)];
        const std::size_t edits = 1 + pick(7);
        for (std::size_t e = 0; e < edits; ++e) {
            const auto byte = static_cast<std::uint8_t>(pick(255));
            switch (pick(5)) {
            case 0: // overwrite a byte
                if (!input.empty()) {
                    input[pick(input.size() - 1)] = byte;
                }
                break;
            case 1: // flip one bit
                if (!input.empty()) {
                    input[pick(input.size() - 1)] ^= static_cast<std::uint8_t>(1u << pick(7));
                }
                break;
            case 2: // insert a byte
                input.insert(input.begin() + static_cast<long>(pick(input.size())), byte);
                break;
            case 3: // drop a byte
                if (!input.empty()) {
                    input.erase(input.begin() + static_cast<long>(pick(input.size() - 1)));
                }
                break;
            case 4: // cut the tail
                input.resize(pick(input.size()));
                break;
            default: { // splice a piece of another seed
                const auto& other = seeds[pick(seeds.size() - 1)];
                if (!other.empty()) {
                    const std::size_t from = pick(other.size() - 1);
                    const std::size_t len = pick(other.size() - from);
                    input.insert(input.begin() + static_cast<long>(pick(input.size())),
                                 other.begin() + static_cast<long>(from),
                                 other.begin() + static_cast<long>(from + len));
                }
                break;
            }
            }
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%ld mutated inputs, 0 findings\n", runs);
    return 0;
}
