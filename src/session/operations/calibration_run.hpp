// A calibration run: ten raw samples (kind 1, selector 4) summed, new coefficients for the
// channels that have a reference, the write of all seven (kind 3, sub-mode 1) and the unit's
// acknowledgement, which also tells whether it has blocked its protection.
// Progress: 1..10 as the samples arrive, 11 when the coefficient write goes out, of 11.
#pragma once

#include "protocol/calibration_rules.hpp"
#include "session/operations/operation.hpp"

namespace torl7 {

struct CalibrationResult {
    std::optional<CoefficientAck> ack;
    std::optional<CalibrationFault> fault; // nothing was written
    // The unit answered a sample with another selector: the run stopped there.
    std::optional<std::uint8_t> unexpectedSelector;
};

class CalibrationRun : public Operation<CalibrationResult> {
public:
    enum class Step { Idle, Sampling, Writing, Done };
    struct Inputs {
        // The reference applied to each channel, as typed; nothing: the channel keeps its
        // coefficient.
        std::array<std::optional<std::string>, kCoefficientCount> references;
        // The coefficients the channels without a reference keep, as typed.
        std::array<std::string, kCoefficientCount> kept;
        // The window's samples wait without a timeout (its poll watchdog covers the line);
        // the headless client's with one.
        UnitSession::Wait sampleWait = UnitSession::Wait::AnswerTimeout;
    };

    explicit CalibrationRun(UnitSession& session) : Operation(session) {}

    // `computed` gets the new coefficients of the channels with a reference, before the write
    // is built.
    void start(Inputs inputs, std::function<void(const TickedCoefficients&)> computed = {});
    Step step() const { return step_; }
    const std::array<CalibrationSum, kCoefficientCount>& sums() const { return sums_; }

private:
    void requestSample();
    void sampleReceived(const Answer& answer);
    void writeCoefficients();
    void end(CalibrationResult result);

    Step step_ = Step::Idle;
    Inputs inputs_;
    std::function<void(const TickedCoefficients&)> computed_;
    std::array<CalibrationSum, kCoefficientCount> sums_{};
    int samples_ = 0;
};

} // namespace torl7
