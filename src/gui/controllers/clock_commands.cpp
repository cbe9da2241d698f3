#include "gui/controllers/clock_commands.hpp"

#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"
#include "protocol/codecs/clock_codec.hpp"
#include "protocol/codecs/version_codec.hpp"
#include "session/unit_session.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>

namespace torl7 {

ClockCorrection clockCorrectionAt(const QDateTime& now, int calibration, bool stopClock,
                                  bool autoDst) {
    const QTime time = now.time();
    const QDate date = now.date();
    ClockCorrection correction;
    correction.calibration = calibration;
    correction.clock.seconds = time.second();
    correction.clock.minutes = time.minute();
    correction.clock.hours = time.hour();
    // The unit counts the days of the week from Sunday = 1; Qt from Monday = 1 to Sunday = 7.
    correction.clock.weekday = date.dayOfWeek() % 7 + 1;
    correction.clock.day = date.day();
    correction.clock.month = date.month();
    correction.clock.year = date.year() % 100;
    correction.clock.stopped = stopClock;
    correction.autoDst = autoDst;
    return correction;
}

ClockCommands::ClockCommands(MainWindow& window)
    : QObject(&window), window_(window), session_(window.session()) {
    connect(window.TabSheet2->Button11, &QPushButton::clicked, this, &ClockCommands::Button11Click);
    connect(window.TabSheet2->btn_monitor, &QPushButton::clicked, this,
            &ClockCommands::btn_monitorClick);
    connect(window.TabSheet1->Button12, &QPushButton::clicked, this, &ClockCommands::Button12Click);
    session_.setHandler(kind::Clock, [this](const Frame& frame) { clockCorrected(frame); });
    session_.setHandler(kind::ProtectionReset,
                        [this](const Frame& frame) { protectionReset(frame); });
    session_.setHandler(kind::Version, [this](const Frame& frame) { versionReceived(frame); });
}

bool ClockCommands::open() {
    return !session_.reserved() && openPort(session_, window_.boxes());
}

void ClockCommands::Button11Click() {
    if (!open()) {
        return;
    }
    window_.stopPolling();
    // One reading of the PC's clock gives time, date and day of the week together, so a
    // correction pressed at midnight cannot mix two days.
    const QDateTime now = pcClock();
    const DiagPage& page = *window_.TabSheet2;
    const Bytes payload =
        encodeClockCorrection(clockCorrectionAt(now, page.rcal->value(), page.rstop->isChecked(),
                                                page.tavto->isChecked()),
                              now.date().year());
    std::copy(payload.begin(), payload.end(), session_.payload.begin());
    session_.requestKind = kind::Clock;
    session_.TXD();
}

void ClockCommands::btn_monitorClick() {
    if (!open()) {
        return;
    }
    window_.stopPolling();
    session_.requestKind = kind::ProtectionReset;
    session_.TXD();
}

void ClockCommands::Button12Click() {
    if (!open()) {
        return;
    }
    session_.requestKind = kind::Version;
    session_.TXD();
}

void ClockCommands::clockCorrected(const Frame&) {
    session_.comclose();
    window_.boxes().information(QStringLiteral("Корректировка выполнена!"),
                                QStringLiteral("Корректировка времени"));
}

void ClockCommands::protectionReset(const Frame&) {
    session_.comclose();
    window_.boxes().information(QStringLiteral("Защита сброшена!"), QStringLiteral("Сброс защиты"));
}

void ClockCommands::versionReceived(const Frame& frame) {
    session_.comclose();
    // Exactly the 16 characters the unit sent, trailing blanks and all.
    window_.TabSheet1->st_vpmk->setText(QString::fromStdString(decodeVersionText(frame.payload())));
}

} // namespace torl7
