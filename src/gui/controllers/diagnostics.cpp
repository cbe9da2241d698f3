#include "gui/controllers/diagnostics.hpp"

#include "gui/controllers/line_gate.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/widgets/indicator_shape.hpp"
#include "gui/widgets/waveform_chart.hpp"
#include "protocol/codecs/snapshot_codec.hpp"
#include "session/unit_session.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

namespace torl7 {

namespace {

QColor colorOf(IndicatorColor color) {
    switch (color) {
    case IndicatorColor::Red:
        return QColor(255, 0, 0);
    case IndicatorColor::Green:
        return QColor(0, 255, 0);
    case IndicatorColor::Silver:
        break;
    }
    return QColor(192, 192, 192);
}

void setText(QLabel* label, const std::string& utf8) {
    label->setText(QString::fromStdString(utf8));
}

} // namespace

Diagnostics::Diagnostics(MainWindow& window)
    : QObject(&window), window_(window), page_(*window.TabSheet2), session_(window.session()),
      poll_(window.session(), this) {
    connectWhenLineFree(session_, page_.diagnos, &QPushButton::clicked, this,
                        &Diagnostics::diagnosClick);
    connect(page_.cmb_m, &QComboBox::currentIndexChanged, &poll_, &DiagPoll::setView);
    connect(&poll_, &DiagPoll::snapshotReceived, this, &Diagnostics::showSnapshot);
    connect(&poll_, &DiagPoll::waveformsReady, this,
            [this](const WaveformSamples& samples) { drawWaveforms(page_, samples); });
    poll_.onFinished([this](const Outcome<PollSummary>& outcome) { pollEnded(outcome); });
    watchClockPanel();
    setState(State::Stopped);
}

void Diagnostics::watchClockPanel() {
    const auto edited = [this](bool ClockEdits::*which) {
        return [this, which] {
            if (!showingUnitClock_) {
                clockEdits_.*which = true;
            }
        };
    };
    connect(page_.rcal, &QSpinBox::valueChanged, this, edited(&ClockEdits::calibration));
    connect(page_.rstop, &QCheckBox::toggled, this, edited(&ClockEdits::stopped));
    connect(page_.tavto, &QCheckBox::toggled, this, edited(&ClockEdits::autoDst));
}

void Diagnostics::showClockSettings(const Snapshot& snapshot) {
    showingUnitClock_ = true;
    if (!clockEdits_.calibration && !page_.rcal->hasFocus()) {
        page_.rcal->setValue(snapshot.clockCalibration);
    }
    if (!clockEdits_.stopped && !page_.rstop->hasFocus()) {
        page_.rstop->setChecked(snapshot.clockStopped);
    }
    if (!clockEdits_.autoDst && !page_.tavto->hasFocus()) {
        page_.tavto->setChecked(snapshot.autoDst);
    }
    showingUnitClock_ = false;
}

void Diagnostics::freezeLiveTexts() {
    if (!liveTextsFrozen_) {
        liveTextsFrozen_ = page_.keepLiveTextSizes();
    }
}

void Diagnostics::setState(State state) {
    state_ = state;
    page_.diagnos->setText(state_ == State::Running ? kDiagnosRunning : kDiagnosStopped);
}

void Diagnostics::diagnosClick() {
    if (state_ == State::Stopped) {
        start();
        return;
    }
    // The button closes the port at once; an answer under way is lost with it.
    setState(State::Stopped);
    poll_.stop(PortAtEnd::Close);
}

void Diagnostics::start() {
    freezeLiveTexts();
    setState(State::Running);
    session_.resetCounters();
    releaseClockPanel();
    poll_.start(page_.cmb_m->currentIndex());
}

void Diagnostics::stop() {
    if (state_ == State::Running) {
        setState(State::Stopped);
        poll_.stop();
    }
}

void Diagnostics::pollEnded(const Outcome<PollSummary>& outcome) {
    if (outcome.done()) {
        return; // stopped by the user or by another action
    }
    // Five misses or a port that would not open: the poll is over, said first, and what it
    // showed is no longer current.
    page_.showValuesStale(true);
    sayFailure(*outcome.error, window_.boxes());
    setState(State::Stopped);
}

void Diagnostics::showSnapshot(const Snapshot& snapshot) {
    const SnapshotTexts t = formatSnapshot(snapshot);
    const IndicatorStates lamps = indicatorStates(snapshot);
    DiagPage& p = page_;
    p.showValuesStale(false);

    setText(p.ttime, t.ttime);
    setText(p.tDATE, t.tDATE);
    showClockSettings(snapshot);

    const std::pair<IndicatorShape*, IndicatorColor> indicators[] = {
        {p.sh_umin, lamps.sh_umin}, {p.sh_umax, lamps.sh_umax}, {p.sh_uasm, lamps.sh_uasm},
        {p.sh_ihol, lamps.sh_ihol}, {p.sh_iasm, lamps.sh_iasm}, {p.Sh_ivtz, lamps.Sh_ivtz},
        {p.sh_zakl, lamps.sh_zakl}, {p.sh_idif, lamps.sh_idif}, {p.zp_umin, lamps.zp_umin},
        {p.zp_umax, lamps.zp_umax}, {p.zp_uasm, lamps.zp_uasm}, {p.zp_ihol, lamps.zp_ihol},
        {p.zp_iasm, lamps.zp_iasm}, {p.zp_ivtz, lamps.zp_ivtz}, {p.zp_zakl, lamps.zp_zakl},
        {p.zp_idif, lamps.zp_idif}, {p.Sh_z, lamps.Sh_z},       {p.sh_dv, lamps.sh_dv},
        {p.sh_iso, lamps.sh_iso},
    };
    for (const auto& [shape, color] : indicators) {
        shape->setFillColor(colorOf(color));
    }

    const std::pair<QLabel*, const std::string&> texts[] = {
        {p.st_ua, t.st_ua},     {p.st_ub, t.st_ub},     {p.st_uc, t.st_uc},
        {p.st_ia, t.st_ia},     {p.st_ib, t.st_ib},     {p.st_ic, t.st_ic},
        {p.st_idif, t.st_idif}, {p.st_cos, t.st_cos},   {p.st_uasm, t.st_uasm},
        {p.st_iasm, t.st_iasm}, {p.st_ikrp, t.st_ikrp}, {p.c_umin, t.c_umin},
        {p.c_umax, t.c_umax},   {p.c_uasm, t.c_uasm},   {p.c_ihol, t.c_ihol},
        {p.c_iasm, t.c_iasm},   {p.c_ivtz, t.c_ivtz},   {p.c_izakl, t.c_izakl},
        {p.c_idif, t.c_idif},   {p.st_pa, t.st_pa},     {p.st_wa, t.st_wa},
        {p.st_moto, t.st_moto}, {p.st_blkz, t.st_blkz},
    };
    for (const auto& [label, text] : texts) {
        setText(label, text);
    }
}

} // namespace torl7
