#include "session/operations/calibration_run.hpp"

namespace torl7 {

namespace {

constexpr int kSteps = kCalibrationSampleCount + 1;

} // namespace

void CalibrationRun::start(Inputs inputs, std::function<void(const TickedCoefficients&)> computed) {
    if (!begin()) {
        return;
    }
    inputs_ = std::move(inputs);
    computed_ = std::move(computed);
    sums_.fill(0);
    samples_ = 0;
    step_ = Step::Sampling;
    requestSample();
}

void CalibrationRun::requestSample() {
    ask(
        kind::Diagnostics, {kCalibrationSelector},
        [this](const Answer& answer) { sampleReceived(answer); }, inputs_.sampleWait);
}

void CalibrationRun::sampleReceived(const Answer& answer) {
    if (!answer) {
        step_ = Step::Done;
        fail(*answer.error);
        return;
    }
    const std::uint8_t selector = answer.frame->reader().byte(0);
    if (selector != kCalibrationSelector) {
        end(CalibrationResult{{}, {}, selector});
        return;
    }
    const CalibrationSample sample = decodeCalibrationSample(answer.frame->payload());
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        // Ten 24-bit readings stay far below 2^31.
        sums_[i] += static_cast<CalibrationSum>(sample.readings[i]);
    }
    ++samples_;
    report(samples_, kSteps);
    if (samples_ < kCalibrationSampleCount) {
        requestSample();
        return;
    }
    writeCoefficients();
}

void CalibrationRun::writeCoefficients() {
    const auto ticked = computeTickedCoefficients(sums_, inputs_.references);
    if (ticked.fault) {
        end(CalibrationResult{{}, ticked.fault, {}});
        return;
    }
    if (computed_) {
        computed_(*ticked.value);
    }
    const auto coefficients = coefficientsToWrite(*ticked.value, inputs_.kept);
    if (coefficients.fault) {
        end(CalibrationResult{{}, coefficients.fault, {}});
        return;
    }
    // Every coefficient lies within a word here, so the payload is always built.
    const auto payload = coefficientWritePayload(*coefficients.value);
    step_ = Step::Writing;
    report(kSteps, kSteps);
    ask(kind::Write, *payload, [this](const Answer& answer) {
        if (!answer) {
            step_ = Step::Done;
            fail(*answer.error);
            return;
        }
        end(CalibrationResult{decodeCoefficientAck(answer.frame->payload()), {}, {}});
    });
}

void CalibrationRun::end(CalibrationResult result) {
    step_ = Step::Done;
    succeed(std::move(result));
}

} // namespace torl7
