// A calibration run: ten raw samples (kind 1, selector 4) summed, new coefficients for the
// channels that have a reference, the write of all seven (kind 3, sub-mode 1) and the unit's
// acknowledgement, which also tells whether it has blocked its protection. The port must be
// open at the start.
#pragma once

#include "protocol/calibration_rules.hpp"
#include "session/unit_session.hpp"

namespace torl7 {

class CalibrationRun {
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
        bool sampleTimeout = true;
    };
    struct Result {
        std::optional<CoefficientAck> ack;
        std::optional<CalibrationFault> fault; // nothing was written
        std::optional<SessionError> error;
        // The unit answered a sample with another selector: the run stopped there.
        std::optional<std::uint8_t> unexpectedSelector;
    };
    struct Callbacks {
        // 1..10 as the samples arrive, 11 when the coefficient write goes out.
        std::function<void(int)> progress;
        // The new coefficients of the channels with a reference, before the write is built.
        std::function<void(const TickedCoefficients&)> computed;
        std::function<void(const Result&)> finished;
    };

    explicit CalibrationRun(UnitSession& session) : session_(session) {}

    void start(Inputs inputs, Callbacks callbacks);
    Step step() const { return step_; }
    const std::array<CalibrationSum, kCoefficientCount>& sums() const { return sums_; }

private:
    void requestSample(int run);
    void sampleReceived(int run, const Answer& answer);
    void writeCoefficients(int run);
    void finish(Result result);

    UnitSession& session_;
    Step step_ = Step::Idle;
    int run_ = 0;
    Inputs inputs_;
    Callbacks callbacks_;
    std::array<CalibrationSum, kCoefficientCount> sums_{};
    int samples_ = 0;
};

} // namespace torl7
