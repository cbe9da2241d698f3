#include "sim/faults.hpp"

#include "protocol/frame.hpp"
#include "protocol/frame_assembler.hpp"

#include <gtest/gtest.h>

using namespace torl7;
using namespace torl7::sim;
using std::chrono::milliseconds;

namespace {

FaultOptions withRules(std::vector<FaultRule> rules) {
    FaultOptions options;
    options.rules = std::move(rules);
    return options;
}

template <class Change> FaultParameters parameters(Change change) {
    FaultParameters p;
    change(p);
    return p;
}

const Bytes kRequest = buildFrame(600, 2, {});
const Bytes kAnswer = buildFrame(600, 2, Bytes(80, 0x11));

Bytes wire(const WirePlan& plan) {
    Bytes all;
    for (const auto& step : plan.steps) {
        all.insert(all.end(), step.bytes.begin(), step.bytes.end());
    }
    return all;
}

WirePlan planWith(FaultKind kind, FaultParameters parameters = FaultParameters(),
                  int baud = 115200) {
    FaultOptions options = withRules({{kind}});
    options.parameters = parameters;
    FaultInjector injector(options);
    return injector.plan(kRequest, kAnswer, baud);
}

// What the tool's receiver makes of the wire, expecting no echo.
std::optional<Frame> received(const WirePlan& plan) {
    FrameAssembler assembler;
    return assembler.feed(wire(plan));
}

TEST(FaultInjector, withoutFaults_theAnswerGoesOutWholeAndAtOnce) {
    FaultInjector injector;
    const auto plan = injector.plan(kRequest, kAnswer, 115200, milliseconds{7});
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].bytes, kAnswer);
    EXPECT_EQ(plan.steps[0].delayBefore, milliseconds{7});
    EXPECT_FALSE(plan.hangUpAfter);
}

TEST(FaultInjector, faultsThatSpoilTheFrame_makeTheReceiverDropIt) {
    EXPECT_TRUE(planWith(FaultKind::Drop).steps.empty());
    EXPECT_FALSE(received(planWith(FaultKind::CorruptChecksum)));
    const auto oversized = planWith(FaultKind::OversizedLength);
    EXPECT_EQ(wire(oversized)[5], 0xF8);
    EXPECT_FALSE(received(oversized));
    const auto hungUp = planWith(FaultKind::HangUp);
    EXPECT_TRUE(hungUp.hangUpAfter);
    EXPECT_EQ(wire(hungUp), Bytes(kAnswer.begin(), kAnswer.begin() + kAnswer.size() / 2));
}

TEST(FaultInjector, wrongCode_keepsAGoodSumSoTheToolDispatchesIt) {
    const auto frame =
        received(planWith(FaultKind::WrongCode, parameters([](auto& p) { p.wrongCode = 7; })));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->command(), 7);
    EXPECT_EQ(Bytes(frame->payload().begin(), frame->payload().end()), Bytes(80, 0x11));
}

TEST(FaultInjector, noiseStrayAndTrailingBytes_surroundTheAnswerWhole) {
    const auto noisy =
        wire(planWith(FaultKind::Noise, parameters([](auto& p) { p.noiseBytes = 40; })));
    ASSERT_EQ(noisy.size(), kAnswer.size() + 40);
    EXPECT_EQ(std::count(noisy.begin(), noisy.begin() + 40, kSync), 0);
    EXPECT_TRUE(std::equal(kAnswer.begin(), kAnswer.end(), noisy.begin() + 40));

    // A stray sync byte leads the noise: a receiver that trusts the header after it reads
    // the answer's first bytes as part of a false frame.
    const auto stray =
        wire(planWith(FaultKind::Stray, parameters([](auto& p) { p.noiseBytes = 3; })));
    ASSERT_EQ(stray.size(), kAnswer.size() + 4);
    EXPECT_EQ(stray[0], kSync);
    EXPECT_EQ(std::count(stray.begin() + 1, stray.begin() + 4, kSync), 0);
    EXPECT_TRUE(std::equal(kAnswer.begin(), kAnswer.end(), stray.begin() + 4));

    const auto trailing =
        wire(planWith(FaultKind::TrailingBytes, parameters([](auto& p) { p.trailingBytes = 4; })));
    ASSERT_EQ(trailing.size(), kAnswer.size() + 4);
    EXPECT_TRUE(std::equal(kAnswer.begin(), kAnswer.end(), trailing.begin()));
}

TEST(FaultInjector, split_sendsEveryByteInPiecesWithGaps) {
    const auto plan = planWith(FaultKind::Split, parameters([](auto& p) {
                                   p.splitPieces = 4;
                                   p.splitGap = milliseconds{25};
                               }));
    ASSERT_EQ(plan.steps.size(), 4u);
    EXPECT_EQ(wire(plan), kAnswer);
    for (std::size_t i = 1; i < plan.steps.size(); ++i) {
        EXPECT_EQ(plan.steps[i].delayBefore, milliseconds{25});
        EXPECT_FALSE(plan.steps[i].bytes.empty());
    }
}

TEST(FaultInjector, late_comesAfterTheToolsTimeoutForThatSpeedAndRequest) {
    // The tool waits 10 s at 300 baud, 300 ms at 115200, and 500 ms more for a write.
    EXPECT_GT(planWith(FaultKind::Late, {}, 300).steps[0].delayBefore, milliseconds{10000});
    EXPECT_GT(planWith(FaultKind::Late, {}, 115200).steps[0].delayBefore, milliseconds{300});
    FaultInjector injector(withRules({{FaultKind::Late}}));
    const Bytes write = buildFrame(600, 3, Bytes(81, 0));
    EXPECT_GT(injector.plan(write, kAnswer, 115200).steps[0].delayBefore, milliseconds{800});
    EXPECT_EQ(planWith(FaultKind::Late, parameters([](auto& p) { p.lateBy = milliseconds{50}; }))
                  .steps[0]
                  .delayBefore,
              milliseconds{50});
}

TEST(FaultInjector, echo_precedesTheAnswerAndSurvivesASilentUnit) {
    const FaultOptions options = withRules({{FaultKind::Echo}, {FaultKind::Drop}});
    FaultInjector dropped(options);
    EXPECT_EQ(wire(dropped.plan(kRequest, kAnswer, 115200)), kRequest);

    FaultInjector echoing(withRules({{FaultKind::Echo}}));
    EXPECT_EQ(wire(echoing.plan(kRequest, {}, 115200)), kRequest);
    const auto plan = echoing.plan(kRequest, kAnswer, 115200);
    Bytes expected = kRequest;
    expected.insert(expected.end(), kAnswer.begin(), kAnswer.end());
    EXPECT_EQ(wire(plan), expected);
    // The tool's receiver finds the echo and then the answer, each whole.
    FrameAssembler assembler;
    const auto echo = assembler.feed(wire(plan));
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->bytes(), kRequest);
    const auto frame = assembler.feed({});
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->bytes(), kAnswer);
}

TEST(FaultInjector, rules_applyOnlyToTheirAnswerNumbers) {
    FaultInjector injector(withRules({{FaultKind::Drop, 2, 3}}));
    std::vector<bool> dropped;
    for (int i = 0; i < 5; ++i) {
        dropped.push_back(injector.plan(kRequest, kAnswer, 115200).steps.empty());
    }
    EXPECT_EQ(dropped, (std::vector<bool>{false, true, true, false, false}));
}

TEST(FaultInjector, clear_leavesEveryLaterAnswerAlone) {
    FaultOptions options = withRules({{FaultKind::Drop}});
    options.randomRate = 1.0;
    options.randomKinds = {FaultKind::Drop};
    FaultInjector injector(options);
    EXPECT_TRUE(injector.plan(kRequest, kAnswer, 115200).steps.empty());
    injector.clear();
    const auto plan = injector.plan(kRequest, kAnswer, 115200);
    EXPECT_TRUE(plan.applied.empty());
    EXPECT_EQ(wire(plan), kAnswer);
}

TEST(FaultInjector, randomRate_faultsAboutThatShareReproduciblyAndNeverHangsUpByDefault) {
    const auto run = [] {
        FaultOptions options;
        options.randomRate = 0.1;
        options.seed = 42;
        FaultInjector injector(options);
        int faulted = 0;
        for (int i = 0; i < 5000; ++i) {
            const auto plan = injector.plan(kRequest, kAnswer, 115200);
            EXPECT_FALSE(plan.hangUpAfter);
            faulted += plan.applied.empty() ? 0 : 1;
        }
        return faulted;
    };
    const int faulted = run();
    EXPECT_NEAR(faulted, 500, 80);
    EXPECT_EQ(run(), faulted);
}

} // namespace
