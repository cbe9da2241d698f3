// Auto-calibration of the unit's seven measuring channels: ten raw samples summed, a new
// coefficient for each ticked channel from the reference applied to its input, the write of
// all seven coefficients, and the unit's acknowledgement (which also blocks its protection).
#pragma once

#include "session/operations/calibration_run.hpp"

#include <QObject>

class QLineEdit;

namespace torl7 {

class ConfigPage;
class UnitSession;
class MainWindow;
class MessageBoxes;

class Calibration : public QObject {
    Q_OBJECT
public:
    explicit Calibration(MainWindow& window);

    void Button5Click();

    const CalibrationRun& run() const { return run_; }

private:
    // The run's inputs as the page holds them now.
    CalibrationRun::Inputs inputsFromPage() const;
    std::array<QLineEdit*, kCoefficientCount> coefficientEdits() const;
    void showComputed(const TickedCoefficients& computed);
    void showResult(const Outcome<CalibrationResult>& outcome);
    void sayFault(const CalibrationFault& fault);

    ConfigPage& page_;
    UnitSession& session_;
    MessageBoxes& boxes_;
    CalibrationRun run_;
};

} // namespace torl7
