// Auto-calibration of the unit's seven measuring channels: ten raw samples summed, a new
// coefficient for each ticked channel from the reference applied to its input, the write of
// all seven coefficients, and the unit's acknowledgement (which also blocks its protection).
#pragma once

#include "protocol/codecs/calibration_codec.hpp"

#include <QObject>

namespace torl7 {

class ConfigPage;
class Frame;
class UnitSession;
class MainWindow;
class MessageBoxes;

class Calibration : public QObject {
    Q_OBJECT
public:
    explicit Calibration(MainWindow& window);

    void Button5Click();

    // Samples arrived so far in this run (1 to 10 while collecting, 11 once the coefficients
    // have been sent), as `PBk` shows it.
    int progressCount() const { return progressCount_; }

private:
    void sampleReceived(const Frame& answer);
    void coefficientsAcknowledged(const Frame& answer);
    // New coefficient texts for the ticked channels, all or nothing. Nothing when a reference
    // is unusable or a coefficient would not fit a word; the user has been told.
    bool computeTickedCoefficients();
    std::optional<Bytes> coefficientPayload();

    ConfigPage& page_;
    UnitSession& session_;
    MessageBoxes& boxes_;
    std::array<CalibrationSum, kCoefficientCount> sums_{};
    int progressCount_ = 0;
    // Only a run that is collecting takes samples: a late or stray sample after the tenth
    // would otherwise compute and send coefficients nobody asked for.
    bool collecting_ = false;
};

} // namespace torl7
