#include "gui/controllers/diagnostics.hpp"

#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/widgets/indicator_shape.hpp"
#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/line_speed.hpp"
#include "protocol/poll_sequence.hpp"
#include "session/unit_session.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

namespace torl7 {

namespace {

constexpr int kInitialWatchdogMs = 300;
constexpr std::uint8_t kArmedFlag = 2;
constexpr std::uint8_t kCalibrationSelector = 4;

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

// Selectors of the waveform blocks: phases 1..3, with 16 added on the last of a sequence.
bool isWaveformSelector(std::uint8_t selector) {
    const int phase = selector & ~kLastBlockFlag;
    return phase >= 1 && phase <= kPhases;
}

void setText(QLabel* label, const std::string& utf8) {
    label->setText(QString::fromStdString(utf8));
}

} // namespace

Diagnostics::Diagnostics(MainWindow& window)
    : QObject(&window), Timer2(new QTimer(this)), window_(window), page_(*window.TabSheet2),
      session_(window.session()) {
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(kInitialWatchdogMs);
    connect(Timer2, &QTimer::timeout, this, &Diagnostics::Timer2Timer);
    connect(page_.diagnos, &QPushButton::clicked, this, &Diagnostics::diagnosClick);
    session_.setHandler(kind::Diagnostics, [this](const Frame& frame) { answerReceived(frame); });
    session_.observeAnswers(kind::Diagnostics, [this](const Frame&) { misses_ = 0; });
    // A poll answer still under way when another command went out is shown all the same.
    connect(&session_, &UnitSession::lateAnswer, this, [this](const Frame& frame) {
        if (frame.command() == kind::Diagnostics) {
            answerReceived(frame);
        }
    });
}

// A label whose size may change asks its layout to run again with every new text, and the
// request climbs to the tab widget, which then repaints the whole window: at a hundred and
// more answers a second that was nearly all of the tool's work. The framed texts of the page
// keep the size the layout gave them, so a new value repaints that text alone.
void Diagnostics::freezeLiveTexts() {
    if (liveTextsFrozen_ || !page_.isVisible()) {
        return; // a page never shown has no laid-out size to keep
    }
    liveTextsFrozen_ = true;
    for (QLabel* label : page_.findChildren<QLabel*>()) {
        if (label->frameShape() != QFrame::NoFrame) {
            label->setFixedSize(label->size());
        }
    }
}

bool Diagnostics::running() const {
    return page_.diagnos->text() == kDiagnosRunning;
}

void Diagnostics::diagnosClick() {
    if (session_.reserved()) {
        return;
    }
    if (page_.diagnos->text() == kDiagnosStopped) {
        freezeLiveTexts();
        page_.diagnos->setText(kDiagnosRunning);
        session_.resetCounters();
        Timer2->start();
        session_.requestKind = kind::Diagnostics;
        session_.payload[0] = kSnapshotSelector;
        misses_ = 0;
        if (!openPort(session_, window_.boxes())) {
            // No port to poll: that has been said, and a poll would only miss five times.
            Timer2->stop();
            window_.stopPolling();
            return;
        }
        send();
    } else {
        session_.comclose();
        window_.stopPolling();
        Timer2->stop();
    }
}

void Diagnostics::Timer2Timer() {
    if (!running()) {
        Timer2->stop();
        return;
    }
    if ((session_.linkFlags & kArmedFlag) == 0) {
        session_.linkFlags = kArmedFlag;
        return;
    }
    // A whole period went by with no request sent and no answer verified.
    Timer2->setInterval(responseTimeoutMs(page_.cb_speed->currentIndex(), kind::Diagnostics));
    ++misses_;
    if (misses_ < kMaxMisses) {
        session_.requestKind = kind::Diagnostics;
        if (!session_.line().isOpen() && lastSentOnOpenPort_) {
            openPort(session_, window_.boxes());
        }
        send();
        return;
    }
    Timer2->stop();
    window_.boxes().error(kNoAnswerText, kCaptionTool);
    window_.stopPolling();
}

void Diagnostics::send() {
    lastSentOnOpenPort_ = session_.line().isOpen();
    session_.TXD();
}

void Diagnostics::answerReceived(const Frame& frame) {
    misses_ = 0;
    const std::uint8_t selector = frame.reader().byte(0);
    // An answer to a poll request that was under way when another command took the line (a
    // protection reset pressed while polling) is shown, but payload byte 0 now belongs to
    // that command, and its own answer is still to come.
    const Bytes& request = session_.lastRequest();
    const bool pollOutstanding =
        request.size() >= kFrameOverhead && request[4] == kind::Diagnostics;

    if (selector == kSnapshotSelector) {
        showSnapshot(decodeSnapshot(frame.payload()));
        if (pollOutstanding) {
            next(selectorAfterSnapshot(page_.cmb_m->currentIndex()));
        }
    } else if (isWaveformSelector(selector)) {
        blockReceived(selector, frame.payload(), pollOutstanding);
    }
    // Any other selector (4 is a calibration sample) shows nothing here and asks for nothing:
    // the watchdog repeats the request.
}

void Diagnostics::showSnapshot(const Snapshot& snapshot) {
    const SnapshotTexts t = formatSnapshot(snapshot);
    const IndicatorStates lamps = indicatorStates(snapshot);
    DiagPage& p = page_;

    setText(p.ttime, t.ttime);
    setText(p.tDATE, t.tDATE);
    p.rcal->setValue(snapshot.clockCalibration);
    p.rstop->setChecked(snapshot.clockStopped);
    p.tavto->setChecked(snapshot.autoDst);

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

void Diagnostics::blockReceived(std::uint8_t selector, ByteSpan payload, bool pollOutstanding) {
    samples_.store(selector & 3, decodeWaveformBlock(payload));
    const BlockStep step = stepAfterBlock(selector, page_.cmb_m->currentIndex());
    if (!step.draw) {
        if (pollOutstanding) {
            next(step.nextSelector);
        }
        return;
    }
    drawWaveforms(page_, samples_);
    if (pollOutstanding) {
        next(kSnapshotSelector);
    }
    samples_.clear();
}

void Diagnostics::next(std::uint8_t selector) {
    session_.payload[0] = selector;
    if (running()) {
        session_.requestKind = kind::Diagnostics;
        send();
    }
}

} // namespace torl7
