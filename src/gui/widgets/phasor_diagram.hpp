// The phasor diagram of the analysis: the three voltages (thin) and three currents (thick) of
// the fundamental, turned so that the reference channel points right, angles counted
// anticlockwise (a current drawn clockwise of its voltage lags it). The voltages are drawn to
// the largest voltage, the currents to the largest current, each on its own circle.
#pragma once

#include <QWidget>

#include <array>
#include <complex>
#include <optional>

namespace torl7 {

class PhasorDiagram : public QWidget {
    Q_OBJECT
public:
    explicit PhasorDiagram(QWidget* parent = nullptr);

    // Ua, Ub, Uc, Ia, Ib, Ic; nothing for a channel not there.
    using Phasors = std::array<std::optional<std::complex<double>>, 6>;
    void setPhasors(const Phasors& phasors);
    // The channel (0..5, as above) drawn at 0°.
    void setReference(int channel);
    int reference() const { return reference_; }
    // The angle each channel is drawn at, in degrees after the turn to the reference.
    std::optional<double> drawnAngleDeg(int channel) const;

    QSize sizeHint() const override { return {140, 140}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Phasors phasors_{};
    int reference_ = 0;
};

} // namespace torl7
