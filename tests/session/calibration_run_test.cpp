// A calibration run: ten samples, the coefficients written, the acknowledgement, and the ways
// a run ends early.
#include "operation_fixture.hpp"
#include "session/operations/calibration_run.hpp"

using namespace torl7;
using namespace torl7::test;

namespace {

constexpr CalibrationSample kQuiet{{57000, 57000, 57000, 1000, 1000, 1000, 2500}};

// How a run ended, its result and its error side by side.
struct Ended {
    std::optional<CoefficientAck> ack;
    std::optional<CalibrationFault> fault;
    std::optional<SessionError> error;
    std::optional<std::uint8_t> unexpectedSelector;
};

class CalibrationRunTest : public OperationFixture {
public:
    CalibrationRunTest() {
        inputs.kept = {"570", "570", "570", "200", "200", "200", "5000"};
        run.onProgress([this](Progress p) { progress.push_back(p.done); });
        run.onFinished([this](const Outcome<CalibrationResult>& o) {
            const CalibrationResult r = o.result.value_or(CalibrationResult{});
            results.push_back(Ended{r.ack, r.fault, o.error, r.unexpectedSelector});
        });
    }

    void start() {
        run.start(inputs, [this](const TickedCoefficients& c) { computed = c; });
    }
    void samples(int count) {
        for (int i = 0; i < count; ++i) {
            answer(kind::Diagnostics, encodeCalibrationSample(kQuiet));
        }
    }

    CalibrationRun::Inputs inputs;
    CalibrationRun run{session};
    std::vector<int> progress;
    std::optional<TickedCoefficients> computed;
    std::vector<Ended> results;
};

} // namespace

TEST_F(CalibrationRunTest, tenSamplesThenTheWriteOfComputedAndKeptCoefficients) {
    inputs.references[0] = "100"; // Ua: 57000 / 100
    inputs.references[3] = "10";  // Ia: 2 * 1000 / 10
    start();
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(lastSent());
        EXPECT_EQ(lastSent()->command(), kind::Diagnostics);
        EXPECT_EQ(lastSent()->reader().byte(0), kCalibrationSelector);
        samples(1);
    }
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(line.writes.size(), 11u);
    ASSERT_TRUE(computed);
    EXPECT_EQ((*computed)[0], 570);
    EXPECT_EQ((*computed)[3], 200);
    EXPECT_FALSE((*computed)[1]);
    EXPECT_EQ(lastSent()->command(), kind::Write);
    EXPECT_EQ(decodeCoefficientWrite(lastSent()->payload()),
              (std::array<std::uint16_t, kCoefficientCount>{570, 570, 570, 200, 200, 200, 5000}));
    EXPECT_EQ(run.step(), CalibrationRun::Step::Writing);

    const CoefficientAck ack{{566, 574, 1, 204, 198, 201, 4960}, true};
    answer(kind::Write, encodeCoefficientAck(ack));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].ack, ack);
}

TEST_F(CalibrationRunTest, runEndsEarlyWithNothingWritten) {
    const struct {
        const char* name;
        std::optional<std::string> uaReference;
        int samplesGiven;
        std::function<void(CalibrationRunTest&)> then;
        bool fault, error, selector;
    } cases[] = {
        {"reference 0", "0", 10, {}, true, false, false},
        {"coefficient beyond a word", "0,5", 10, {}, true, false, false},
        {"sample unanswered", std::nullopt, 4,
         [](CalibrationRunTest& t) { t.session.answerTimedOut(); }, false, true, false},
        {"sample with another selector", std::nullopt, 4,
         [](CalibrationRunTest& t) { t.answer(kind::Diagnostics, Bytes(22, 1)); }, false, false,
         true},
    };
    for (const auto& c : cases) {
        results.clear();
        line.clearWritten();
        ASSERT_FALSE(session.openPort());
        inputs.references[0] = c.uaReference;
        start();
        samples(c.samplesGiven);
        if (c.then) {
            c.then(*this);
        }
        ASSERT_EQ(results.size(), 1u) << c.name;
        // The request after the last sample given went out; after ten, nothing more did.
        const int sent = c.samplesGiven < kCalibrationSampleCount ? c.samplesGiven + 1 : 10;
        EXPECT_EQ(line.writes.size(), static_cast<std::size_t>(sent)) << c.name;
        EXPECT_EQ(results[0].fault.has_value(), c.fault) << c.name;
        EXPECT_EQ(results[0].error.has_value(), c.error) << c.name;
        EXPECT_EQ(results[0].unexpectedSelector.has_value(), c.selector) << c.name;
        EXPECT_FALSE(results[0].ack) << c.name;
    }
}

TEST_F(CalibrationRunTest, samplesWaitWithoutTimeoutWhenTheCallerSaysSo) {
    for (const bool withTimeout : {true, false}) {
        inputs.sampleWait =
            withTimeout ? UnitSession::Wait::AnswerTimeout : UnitSession::Wait::SenderRepeats;
        session.cancel();
        start();
        EXPECT_EQ(session.answerTimeoutArmed().has_value(), withTimeout);
    }
}
