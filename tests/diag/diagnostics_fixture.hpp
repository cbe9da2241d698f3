#pragma once

// The poll of the "Диагностика" page over an in-memory line: the watchdog tick by tick, the
// snapshot into its controls, the selector sequence of the view list and the drawing.
#include "gui/controllers/diagnostics.hpp"
#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/codecs/waveform_codec.hpp"
#include "support/window_fixture.hpp"

#include "gui/widgets/indicator_shape.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QPaintEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <map>

namespace torl7::test {

// What the widgets it watches have painted, in their own coordinates.
class PaintRecorder : public QObject {
public:
    void watch(QWidget* widget) { widget->installEventFilter(this); }
    QRegion painted(QWidget* widget) const {
        const auto found = regions.find(widget);
        return found == regions.end() ? QRegion() : found->second;
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            regions[watched] += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }

private:
    std::map<const QObject*, QRegion> regions;
};

const QColor kRed(255, 0, 0);
const QColor kSilver(192, 192, 192);
const QColor kGreen(0, 255, 0);

class DiagnosticsTest : public WindowFixture {
protected:
    Diagnostics& poll() { return *window->findChild<Diagnostics*>(); }
    void tick() { poll().Timer2Timer(); }
    void ticks(int count) {
        for (int i = 0; i < count; ++i) {
            tick();
        }
    }
    void start() {
        ASSERT_EQ(diag().diagnos->text(), kDiagnosStopped);
        poll().diagnosClick();
    }
    bool running() const { return window->TabSheet2->diagnos->text() == kDiagnosRunning; }

    // The selector of every diagnostics request written since the last clearWritten().
    std::vector<int> selectorsSent() const {
        std::vector<int> selectors;
        for (const Bytes& frame : sentFrames()) {
            if (frame.size() == 9 && frame[4] == kind::Diagnostics) {
                selectors.push_back(frame[6]);
            }
        }
        return selectors;
    }
    int lastSelectorSent() const {
        const auto selectors = selectorsSent();
        return selectors.empty() ? -1 : selectors.back();
    }

    // The unit answers the pending request as a healthy unit would: a snapshot for selector
    // 0, otherwise the waveform block of its phase with samples that tell phase and index.
    void answerPending() {
        const int selector = lastSelectorSent();
        ASSERT_GE(selector, 0) << "nothing was asked";
        if (selector == 0) {
            answer(kind::Diagnostics, encodeSnapshot(Snapshot{}));
        } else {
            answer(kind::Diagnostics,
                   encodeWaveformBlock(block(static_cast<std::uint8_t>(selector))));
        }
    }
    static WaveformBlock block(std::uint8_t selector) {
        WaveformBlock b;
        b.selector = selector;
        const int phase = selector & 3;
        for (std::size_t i = 0; i < kWaveformSamples; ++i) {
            b.voltage[i] = static_cast<std::uint8_t>(phase * 50 + i % 50);
            b.current[i] = static_cast<std::uint8_t>(phase * 50 + 25 + i % 25);
        }
        return b;
    }
    QString text(const char* name) const {
        return window->findChild<QLabel*>(QString::fromLatin1(name))->text();
    }
    QColor lamp(const char* name) const {
        return window->findChild<IndicatorShape*>(QString::fromLatin1(name))->fillColor();
    }
};

} // namespace torl7::test
