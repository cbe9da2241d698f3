// "Найти на линии…" of the "Подстанция" tab: every factory number of a range pinged on one line
// at one speed, with a progress dialog that can cancel; the units that answer join the
// substation on the line with that port. The sweep has a session of its own on the line chosen,
// as each line of a collection has: the window's session keeps serving the connection bar.
#include "gui/controllers/substation_units.hpp"
#include "gui/dialogs/collect_dialog.hpp"
#include "gui/dialogs/sweep_dialog.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/diag_page.hpp"
#include "protocol/line_speed.hpp"
#include "session/operations/unit_sweep.hpp"
#include "session/port_access.hpp"
#include "session/port_line.hpp"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace torl7 {

std::optional<SweepRequest> SubstationUnits::askSweepInDialog() {
    QStringList ports;
    for (const SubstationLine& line : substation_.lines) {
        ports << QString::fromStdString(line.port);
    }
    const QComboBox& box = *window_.TabSheet2->cmbPorts;
    for (int i = 0; i < box.count(); ++i) {
        const QString port =
            box.itemData(i).isValid() ? box.itemData(i).toString() : box.itemText(i);
        if (!ports.contains(port)) {
            ports << port;
        }
    }
    SweepDialog dialog(&window_, ports, window_.session().lineSpeed());
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.request();
}

void SubstationUnits::sweepLine() {
    if (state_ != State::Idle) {
        return;
    }
    const std::optional<SweepRequest> asked = askSweep();
    if (!asked || asked->port.isEmpty()) {
        return;
    }
    sweeping_ = *asked;
    // The window's own port may be the line swept: it lets go of it for the sweep.
    window_.stopPolling();
    window_.session().closePort();
    sweepLine_ = std::make_unique<PortLine>();
    sweepSession_ = std::make_unique<UnitSession>(*sweepLine_);
    sweepSession_->setPort(sweeping_.port, sweeping_.port);
    sweepSession_->setLineSpeed(sweeping_.speedIndex);
    sweep_ = std::make_unique<UnitSweep>(*sweepSession_);

    progress_ = new CollectDialog(&window_);
    progress_->setWindowTitle(QStringLiteral("Поиск устройств на линии"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->pb_collect->setRange(0, sweeping_.to - sweeping_.from + 1);
    progress_->pb_collect->setValue(0);
    progress_->lbl_collect->setText(QStringLiteral("%1, %2 бод/сек: №%3…%4")
                                        .arg(sweeping_.port)
                                        .arg(baudForIndex(sweeping_.speedIndex))
                                        .arg(sweeping_.from)
                                        .arg(sweeping_.to));
    connect(progress_, &CollectDialog::cancelAsked, this, [this] {
        if (state_ == State::Sweeping && sweep_) {
            state_ = State::Cancelling;
            updateState();
            sweep_->cancel();
        }
    });
    state_ = State::Sweeping;
    updateState();
    progress_->show();

    sweep_->onProgress([this](Progress p) {
        if (progress_) {
            progress_->pb_collect->setValue(p.done);
        }
    });
    sweep_->onFinished([this](const Outcome<std::vector<int>>& outcome) {
        // Ended from inside the operation: it goes once control is back in the event loop.
        QMetaObject::invokeMethod(
            this, [this, outcome] { sweepEnded(outcome); }, Qt::QueuedConnection);
    });
    sweep_->start(sweeping_.from, sweeping_.to, sweeping_.speedIndex);
}

void SubstationUnits::sweepEnded(const Outcome<std::vector<int>>& outcome) {
    const bool cancelled = state_ == State::Cancelling;
    closeProgress();
    sweep_.reset();
    sweepSession_.reset();
    sweepLine_.reset();
    state_ = State::Idle;
    if (cancelled || !outcome) {
        updateState();
        if (cancelled) {
            window_.boxes().information(
                QStringLiteral("Поиск на линии %1 отменён: в подстанцию ничего не добавлено.")
                    .arg(sweeping_.port),
                kCaptionTool);
            return;
        }
        const SessionError& error = *outcome.error;
        const QString hint = error.kind == SessionError::Kind::PortNotOpened
                                 ? portRefusalHint(error.refusal, true)
                                 : QString();
        window_.boxes().error(QStringLiteral("Поиск на линии %1 не выполнен%2%3")
                                  .arg(sweeping_.port,
                                       error.detail.isEmpty() ? QString() : ": " + error.detail,
                                       hint.isEmpty() ? QString() : "\n" + hint),
                              kCaptionTool);
        return;
    }
    const std::vector<int>& found = *outcome.result;
    const int added = addFoundUnits(substation_, sweeping_.port.toStdString(),
                                    baudForIndex(sweeping_.speedIndex), found);
    modified_ = modified_ || added > 0;
    fillTable();
    updateState();
    askArchive();
    QStringList numbers;
    for (const int number : found) {
        numbers << QStringLiteral("№%1").arg(number);
    }
    window_.boxes().information(
        QStringLiteral("Поиск на линии %1 завершён: ответили %2 из %3 номеров%4.\n"
                       "Добавлено в подстанцию: %5.")
            .arg(sweeping_.port)
            .arg(found.size())
            .arg(sweeping_.to - sweeping_.from + 1)
            .arg(numbers.isEmpty() ? QString() : QStringLiteral(" (") + numbers.join(", ") + ")")
            .arg(added),
        kCaptionTool);
}

} // namespace torl7
