#include "sim/faults.hpp"

#include "protocol/frame.hpp"
#include "protocol/line_speed.hpp"

#include <algorithm>
#include <array>
#include <cstddef>

namespace torl7::sim {

namespace {

constexpr std::array<std::string_view, kFaultKindCount> kNames{
    "drop",       "corrupt", "split",    "noise",  "late", "oversized",
    "wrong-code", "echo",    "trailing", "hangup", "stray"};

bool contains(const std::vector<FaultKind>& kinds, FaultKind kind) {
    return std::ranges::find(kinds, kind) != kinds.end();
}

// Margin past the tool's timeout, so that a late answer is late whatever the scheduling.
constexpr std::chrono::milliseconds kLateMargin{300};

} // namespace

std::string_view faultName(FaultKind kind) {
    return kNames[static_cast<std::size_t>(kind)];
}

std::optional<FaultKind> faultByName(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name) {
            return static_cast<FaultKind>(i);
        }
    }
    return std::nullopt;
}

std::vector<FaultKind> allFaultKinds() {
    std::vector<FaultKind> kinds;
    for (std::size_t i = 0; i < kFaultKindCount; ++i) {
        kinds.push_back(static_cast<FaultKind>(i));
    }
    return kinds;
}

FaultInjector::FaultInjector(FaultOptions options)
    : options_(std::move(options)), rng_(options_.seed) {
    if (options_.randomKinds.empty()) {
        for (FaultKind kind : allFaultKinds()) {
            if (kind != FaultKind::HangUp) {
                options_.randomKinds.push_back(kind);
            }
        }
    }
    options_.parameters.splitPieces = std::max(options_.parameters.splitPieces, 2);
}

void FaultInjector::clear() {
    options_.rules.clear();
    options_.randomRate = 0.0;
}

bool FaultInjector::ruleCovers(FaultKind kind, std::uint64_t answer) const {
    return std::ranges::any_of(options_.rules, [&](const FaultRule& rule) {
        return rule.kind == kind && answer >= rule.first && answer <= rule.last;
    });
}

std::vector<FaultKind> FaultInjector::faultsForNextAnswer() {
    ++answers_;
    std::vector<FaultKind> kinds;
    for (const FaultRule& rule : options_.rules) {
        if (answers_ >= rule.first && answers_ <= rule.last && !contains(kinds, rule.kind)) {
            kinds.push_back(rule.kind);
        }
    }
    if (options_.randomRate > 0.0 &&
        std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < options_.randomRate) {
        const auto pick =
            std::uniform_int_distribution<std::size_t>(0, options_.randomKinds.size() - 1)(rng_);
        const FaultKind kind = options_.randomKinds[pick];
        if (!contains(kinds, kind)) {
            kinds.push_back(kind);
        }
    }
    return kinds;
}

Bytes FaultInjector::randomBytes(std::size_t count, bool avoidSync) {
    Bytes bytes;
    std::uniform_int_distribution<int> byte(0, 255);
    while (bytes.size() < count) {
        const auto b = static_cast<std::uint8_t>(byte(rng_));
        if (!(avoidSync && b == kSync)) {
            bytes.push_back(b);
        }
    }
    return bytes;
}

WirePlan FaultInjector::plan(ByteSpan request, ByteSpan answer, int lineSpeedBaud,
                             std::chrono::microseconds answerDelay) {
    WirePlan plan;
    if (answer.empty()) {
        // The unit is silent; an echoing adapter still repeats what it heard.
        if (ruleCovers(FaultKind::Echo, answers_ + 1)) {
            plan.steps.push_back(
                {std::chrono::milliseconds{0}, Bytes(request.begin(), request.end())});
            plan.applied.push_back(FaultKind::Echo);
        }
        return plan;
    }
    plan.applied = faultsForNextAnswer();
    const auto has = [&](FaultKind kind) { return contains(plan.applied, kind); };
    const FaultParameters& p = options_.parameters;

    if (has(FaultKind::Echo)) {
        plan.steps.push_back({std::chrono::milliseconds{0}, Bytes(request.begin(), request.end())});
    }
    if (has(FaultKind::Drop)) {
        return plan;
    }

    Bytes bytes(answer.begin(), answer.end());
    if (has(FaultKind::WrongCode) && bytes.size() >= kFrameOverhead) {
        bytes = buildFrame(static_cast<std::uint16_t>(bytes[2] << 8 | bytes[3]), p.wrongCode,
                           ByteSpan(bytes).subspan(kHeaderSize, bytes[5]));
    }
    if (has(FaultKind::OversizedLength) && bytes.size() >= kHeaderSize) {
        bytes[5] = p.oversizedLength;
    }
    if (has(FaultKind::CorruptChecksum)) {
        bytes.back() ^= 0x5A;
    }
    if (has(FaultKind::Noise)) {
        Bytes noise = randomBytes(p.noiseBytes, true);
        bytes.insert(bytes.begin(), noise.begin(), noise.end());
    }
    if (has(FaultKind::Stray)) {
        // The sync byte comes first: the header the receiver then reads is made of the noise
        // and of the answer's own first bytes.
        Bytes stray = randomBytes(p.noiseBytes, true);
        stray.insert(stray.begin(), kSync);
        bytes.insert(bytes.begin(), stray.begin(), stray.end());
    }
    if (has(FaultKind::TrailingBytes)) {
        Bytes tail = randomBytes(p.trailingBytes, false);
        bytes.insert(bytes.end(), tail.begin(), tail.end());
    }
    if (has(FaultKind::HangUp)) {
        bytes.resize(bytes.size() / 2);
        plan.hangUpAfter = true;
    }

    std::chrono::microseconds firstDelay = answerDelay;
    if (has(FaultKind::Late)) {
        const RequestKind asked =
            requestKindOf(request.size() > 4 ? request[4] : 0).value_or(kind::Ping);
        firstDelay += p.lateBy.value_or(
            std::chrono::milliseconds(responseTimeoutMs(indexForBaud(lineSpeedBaud), asked)) +
            kLateMargin);
    }
    if (has(FaultKind::Split) && bytes.size() >= 2) {
        const std::size_t pieces = std::min(bytes.size(), static_cast<std::size_t>(p.splitPieces));
        std::size_t start = 0;
        for (std::size_t i = 0; i < pieces; ++i) {
            const std::size_t end = bytes.size() * (i + 1) / pieces;
            plan.steps.push_back({i == 0 ? firstDelay : p.splitGap,
                                  Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(end))});
            start = end;
        }
    } else {
        plan.steps.push_back({firstDelay, std::move(bytes)});
    }
    return plan;
}

} // namespace torl7::sim
