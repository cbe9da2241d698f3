#include "gui/controllers/clock_commands.hpp"

#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"
#include "session/operations/unit_commands.hpp"
#include "session/unit_session.hpp"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace torl7 {

ClockCommands::ClockCommands(MainWindow& window)
    : QObject(&window), window_(window), session_(window.session()) {
    connect(window.TabSheet2->Button11, &QPushButton::clicked, this, &ClockCommands::Button11Click);
    connect(window.TabSheet2->btn_monitor, &QPushButton::clicked, this,
            &ClockCommands::btn_monitorClick);
    connect(window.TabSheet1->Button12, &QPushButton::clicked, this, &ClockCommands::Button12Click);
}

bool ClockCommands::open() {
    return !session_.reserved() && openPort(session_, window_.boxes());
}

void ClockCommands::Button11Click() {
    if (!open()) {
        return;
    }
    window_.stopPolling();
    // One reading of the PC's clock gives time, date and day of the week together.
    const QDateTime now = pcClock();
    const LocalDateTime local{now.date().year(), now.date().month(),  now.date().day(),
                              now.time().hour(), now.time().minute(), now.time().second()};
    const DiagPage& page = *window_.TabSheet2;
    correctClock(session_, local, page.rcal->value(), page.rstop->isChecked(),
                 page.tavto->isChecked(), [this](const Outcome<Acknowledged>& outcome) {
                     if (!outcome) {
                         sayFailure(*outcome.error, window_.boxes());
                         return;
                     }
                     window_.boxes().information(QStringLiteral("Корректировка выполнена!"),
                                                 QStringLiteral("Корректировка времени"));
                 });
}

void ClockCommands::btn_monitorClick() {
    if (!open()) {
        return;
    }
    window_.stopPolling();
    resetProtection(session_, [this](const Outcome<Acknowledged>& outcome) {
        if (!outcome) {
            sayFailure(*outcome.error, window_.boxes());
            return;
        }
        window_.boxes().information(QStringLiteral("Защита сброшена!"),
                                    QStringLiteral("Сброс защиты"));
    });
}

void ClockCommands::Button12Click() {
    if (!open()) {
        return;
    }
    readVersion(session_, [this](const Outcome<std::string>& outcome) {
        if (!outcome) {
            sayFailure(*outcome.error, window_.boxes());
            return;
        }
        // Exactly the 16 characters the unit sent, trailing blanks and all.
        window_.TabSheet1->st_vpmk->setText(QString::fromStdString(*outcome.result));
    });
}

} // namespace torl7
