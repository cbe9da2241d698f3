// Faults of the line between the tool and the unit. The model says what the unit answers;
// this layer says what of it reaches the wire, in which pieces and when. No I/O.
#pragma once

#include "protocol/encodings.hpp"

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace torl7::sim {

enum class FaultKind : std::uint8_t {
    Drop,            // the answer never comes
    CorruptChecksum, // the answer's sum is wrong
    Split,           // the answer comes in pieces with gaps between them
    Noise,           // bytes other than the sync byte come before the answer
    Late,            // the answer comes after the tool has given up waiting
    OversizedLength, // the length byte announces more than a frame may carry
    WrongCode,       // the answer carries another response code (with a good sum)
    Echo,            // the line repeats the request before the answer, as an RS-485 adapter
                     // that hears itself does
    TrailingBytes,   // bytes follow the answer
    HangUp,          // the line goes away after half of the answer
    Stray,           // a lone sync byte, then other bytes, before the answer: line turn-around
                     // noise that looks like the start of a frame
};

inline constexpr std::size_t kFaultKindCount = 11;

// The option names: drop, corrupt, split, noise, late, oversized, wrong-code, echo,
// trailing, hangup, stray.
std::string_view faultName(FaultKind kind);
std::optional<FaultKind> faultByName(std::string_view name);
std::vector<FaultKind> allFaultKinds();

struct FaultParameters {
    int splitPieces = 3;
    std::chrono::milliseconds splitGap{40};
    std::size_t noiseBytes = 5; // also the bytes after a stray sync byte
    std::size_t trailingBytes = 3;
    // Unset: just past the tool's timeout for the request at the line speed.
    std::optional<std::chrono::milliseconds> lateBy;
    std::uint8_t wrongCode = 9; // a code the tool has no handler for
    std::uint8_t oversizedLength = 0xF8;
};

// Applies `kind` to the answers whose number is in [first, last] (1 = the first answer the
// unit gives); by default to every answer.
struct FaultRule {
    FaultKind kind = FaultKind::Drop;
    std::uint64_t first = 1;
    std::uint64_t last = UINT64_MAX;
};

struct FaultOptions {
    std::vector<FaultRule> rules;
    // Share of answers (0..1) that get one fault drawn from `randomKinds`, for soak tests.
    double randomRate = 0.0;
    std::vector<FaultKind> randomKinds; // empty: every kind except the hang-up
    std::uint32_t seed = 1;
    FaultParameters parameters;
};

// A piece of the wire traffic: wait, then write the bytes.
struct WireStep {
    std::chrono::microseconds delayBefore{0};
    Bytes bytes;
};

struct WirePlan {
    std::vector<WireStep> steps;
    bool hangUpAfter = false; // take the line away after the last step
    std::vector<FaultKind> applied;
};

class FaultInjector {
public:
    explicit FaultInjector(FaultOptions options = {});

    // What goes on the wire for the next answer. `answer` is empty when the unit stays
    // silent; the line may still echo the request then. `lineSpeedBaud` sets how late a late
    // answer comes; `answerDelay` (the wire time, when simulated) comes before the answer's
    // first byte on top of any fault's delay.
    WirePlan plan(ByteSpan request, ByteSpan answer, int lineSpeedBaud,
                  std::chrono::microseconds answerDelay = std::chrono::microseconds{0});

    std::uint64_t answersSeen() const { return answers_; }

    // From now on no answer is faulted: the line is clean again.
    void clear();

private:
    bool ruleCovers(FaultKind kind, std::uint64_t answer) const;
    std::vector<FaultKind> faultsForNextAnswer();
    Bytes randomBytes(std::size_t count, bool avoidSync);

    FaultOptions options_;
    std::mt19937 rng_;
    std::uint64_t answers_ = 0;
};

} // namespace torl7::sim
