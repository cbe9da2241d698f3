#include "gui/controllers/clock_commands.hpp"

#include "gui/controllers/diagnostics.hpp"
#include "gui/controllers/line_gate.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"
#include "protocol/lost_acknowledgement.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace torl7 {

namespace {

LocalDateTime localOf(const QDateTime& at) {
    return {at.date().year(), at.date().month(),  at.date().day(),
            at.time().hour(), at.time().minute(), at.time().second()};
}

QString clockText(const ClockStamp& c) {
    return QStringLiteral("%1:%2:%3 %4.%5.20%6")
        .arg(c.hours, 2, 10, QLatin1Char('0'))
        .arg(c.minutes, 2, 10, QLatin1Char('0'))
        .arg(c.seconds, 2, 10, QLatin1Char('0'))
        .arg(c.day, 2, 10, QLatin1Char('0'))
        .arg(c.month, 2, 10, QLatin1Char('0'))
        .arg(c.year, 2, 10, QLatin1Char('0'));
}

// What the snapshot after a lost acknowledgement of the clock correction shows.
QString clockFinding(const std::optional<Snapshot>& snapshot, const QDateTime& pcNow) {
    if (!snapshot) {
        return QStringLiteral("Подтверждение не получено, и на запрос диагностики устройство не "
                              "ответило: выполнена ли корректировка, неизвестно.");
    }
    const QString shown = clockText(snapshot->clock);
    switch (clockAfterCorrection(snapshot->clock, localOf(pcNow))) {
    case ClockFinding::ShowsPcTime:
        return QStringLiteral("Подтверждение не получено, но часы устройства показывают %1, "
                              "время компьютера: корректировка выполнена.")
            .arg(shown);
    case ClockFinding::Differs:
        return QStringLiteral("Подтверждение не получено; часы устройства показывают %1, "
                              "компьютера %2: корректировка не выполнена.")
            .arg(shown, pcNow.toString(QStringLiteral("HH:mm:ss dd.MM.yyyy")));
    case ClockFinding::NoDate:
        return QStringLiteral("Подтверждение не получено; часы устройства показывают %1, это не "
                              "дата: выполнена ли корректировка, неизвестно.")
            .arg(shown);
    }
    return {};
}

QString resetFinding(const std::optional<Snapshot>& snapshot) {
    if (!snapshot) {
        return QStringLiteral("Подтверждение не получено, и на запрос диагностики устройство не "
                              "ответило: сброшена ли защита, неизвестно.");
    }
    return protectionClear(*snapshot)
               ? QStringLiteral("Подтверждение не получено, но сработавших защит устройство не "
                                "показывает: защита сброшена.")
               : QStringLiteral("Подтверждение не получено, и устройство показывает сработавшую "
                                "защиту: защита не сброшена.");
}

} // namespace

ClockCommands::ClockCommands(MainWindow& window, Diagnostics& diagnostics)
    : QObject(&window), window_(window), diagnostics_(diagnostics), clock_(window.session()),
      reset_(window.session()), version_(window.session()) {
    const UnitSession& session = window.session();
    connectWhenLineFree(session, window.TabSheet2->Button11, &QPushButton::clicked, this,
                        &ClockCommands::Button11Click);
    connectWhenLineFree(session, window.TabSheet2->btn_monitor, &QPushButton::clicked, this,
                        &ClockCommands::btn_monitorClick);
    connectWhenLineFree(session, window.TabSheet1->Button12, &QPushButton::clicked, this,
                        &ClockCommands::Button12Click);
    clock_.onFinished([this](const Outcome<Acknowledged>& outcome) { clockCorrected(outcome); });
    reset_.onFinished([this](const Outcome<Acknowledged>& outcome) { protectionReset(outcome); });
    version_.onFinished([this](const Outcome<std::string>& outcome) {
        if (!outcome) {
            sayFailure(*outcome.error, window_.boxes());
            return;
        }
        // Exactly the 16 characters the unit sent, trailing blanks and all.
        window_.TabSheet1->st_vpmk->setText(QString::fromStdString(*outcome.result));
    });
}

void ClockCommands::Button11Click() {
    diagnostics_.stop();
    // One reading of the PC's clock gives time, date and day of the week together.
    const DiagPage& page = *window_.TabSheet2;
    clock_.start(localOf(pcClock()),
                 ClockPanel{page.rcal->value(), page.rstop->isChecked(), page.tavto->isChecked()});
}

void ClockCommands::clockCorrected(const Outcome<Acknowledged>& outcome) {
    if (outcome.done()) {
        window_.boxes().information(QStringLiteral("Корректировка выполнена!"),
                                    QStringLiteral("Корректировка времени"));
        return;
    }
    if (outcome.result) {
        sayNoAnswer(window_.boxes(), nullptr,
                    clockFinding(outcome.result->snapshotAfterLoss, pcClock()));
        return;
    }
    sayFailure(*outcome.error, window_.boxes());
}

void ClockCommands::resetProtection() {
    diagnostics_.stop();
    reset_.start();
}

void ClockCommands::protectionReset(const Outcome<Acknowledged>& outcome) {
    if (outcome.done()) {
        window_.boxes().information(QStringLiteral("Защита сброшена!"),
                                    QStringLiteral("Сброс защиты"));
        return;
    }
    if (outcome.result) {
        sayNoAnswer(window_.boxes(), nullptr, resetFinding(outcome.result->snapshotAfterLoss));
        return;
    }
    sayFailure(*outcome.error, window_.boxes());
}

void ClockCommands::Button12Click() {
    version_.start();
}

} // namespace torl7
