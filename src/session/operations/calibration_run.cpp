#include "session/operations/calibration_run.hpp"

namespace torl7 {

void CalibrationRun::start(Inputs inputs, Callbacks callbacks) {
    const int run = ++run_;
    inputs_ = std::move(inputs);
    callbacks_ = std::move(callbacks);
    sums_.fill(0);
    samples_ = 0;
    step_ = Step::Sampling;
    requestSample(run);
}

void CalibrationRun::requestSample(int run) {
    session_.request(
        kind::Diagnostics, {kCalibrationSelector},
        [this, run](const Answer& answer) { sampleReceived(run, answer); }, inputs_.sampleTimeout);
}

void CalibrationRun::sampleReceived(int run, const Answer& answer) {
    if (run != run_) {
        return;
    }
    if (!answer) {
        finish(Result{{}, {}, answer.error, {}});
        return;
    }
    const std::uint8_t selector = answer.frame->reader().byte(0);
    if (selector != kCalibrationSelector) {
        finish(Result{{}, {}, {}, selector});
        return;
    }
    const CalibrationSample sample = decodeCalibrationSample(answer.frame->payload());
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        // Ten 24-bit readings stay far below 2^31.
        sums_[i] += static_cast<CalibrationSum>(sample.readings[i]);
    }
    ++samples_;
    if (callbacks_.progress) {
        callbacks_.progress(samples_);
    }
    if (samples_ < kCalibrationSampleCount) {
        requestSample(run);
        return;
    }
    writeCoefficients(run);
}

void CalibrationRun::writeCoefficients(int run) {
    const auto ticked = computeTickedCoefficients(sums_, inputs_.references);
    if (ticked.fault) {
        finish(Result{{}, ticked.fault, {}, {}});
        return;
    }
    if (callbacks_.computed) {
        callbacks_.computed(*ticked.value);
    }
    const auto coefficients = coefficientsToWrite(*ticked.value, inputs_.kept);
    if (coefficients.fault) {
        finish(Result{{}, coefficients.fault, {}, {}});
        return;
    }
    // Every coefficient lies within a word here, so the payload is always built.
    const auto payload = coefficientWritePayload(*coefficients.value);
    step_ = Step::Writing;
    if (callbacks_.progress) {
        callbacks_.progress(kCalibrationSampleCount + 1);
    }
    session_.request(kind::Write, *payload, [this, run](const Answer& answer) {
        if (run != run_) {
            return;
        }
        if (!answer) {
            finish(Result{{}, {}, answer.error, {}});
            return;
        }
        finish(Result{decodeCoefficientAck(answer.frame->payload()), {}, {}, {}});
    });
}

void CalibrationRun::finish(Result result) {
    step_ = Step::Done;
    if (callbacks_.finished) {
        callbacks_.finished(result);
    }
}

} // namespace torl7
