#include "gui/controllers/device_search.hpp"

#include "gui/dialogs/search_dialog.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/diag_page.hpp"
#include "gui/widgets/lenient_spin_box.hpp"
#include "protocol/codecs/speed_change_codec.hpp"
#include "protocol/frame.hpp"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>

namespace torl7 {

namespace {

const QString kStart = QStringLiteral("Начать поиск");
const QString kStop = QStringLiteral("Остановить поиск");
// The search's messages carry no caption.
const QString kNoCaption;

} // namespace

DeviceSearch::DeviceSearch(MainWindow& window)
    : QObject(&window), window_(window), dialog_(*window.Form2), session_(window.session()) {
    setObjectName(QStringLiteral("DeviceSearch"));
    connect(dialog_.frm2_zn, &LenientSpinBox::shownTextChanged, this, &DeviceSearch::frm2_znChange);
    connect(dialog_.cmbPorts, &QComboBox::activated, this, &DeviceSearch::cmbPortsChange);
    connect(dialog_.Button1, &QPushButton::clicked, this, &DeviceSearch::Button1Click);
    connect(dialog_.Timer1, &QTimer::timeout, this, &DeviceSearch::Timer1Timer);
    session_.setHandler(kind::Ping, [this](const Frame& frame) { answerToPing(frame); });
}

int DeviceSearch::stepIntervalMs(int speedIndex) {
    switch (speedIndex) {
    case 0:
        return SearchDialog::kFirstStepMs;
    case 1:
        return 400;
    case 2:
        return 200;
    case 3:
        return 100;
    default:
        return 50;
    }
}

void DeviceSearch::frm2_znChange() {
    // The main window's own change handler writes its number back here. A half-typed number
    // outside the limits ("5" on the way to "5000") would come back as the nearest limit and
    // overwrite the digits being typed, so such a text waits until the field is left.
    const LenientSpinBox& number = *dialog_.frm2_zn;
    const std::optional<int> typed = number.typedInteger();
    if (typed && *typed >= number.minimum() && *typed <= number.maximum()) {
        window_.TabSheet2->frm1_zn->setValue(*typed);
    }
}

void DeviceSearch::frm2_znExit() {
    // The field has brought its text to the nearest limit by now (an empty text to the lower).
    window_.TabSheet2->frm1_zn->setValue(dialog_.frm2_zn->value());
}

void DeviceSearch::cmbPortsChange() {
    session_.comclose();
    // The port itself is opened from the main window's list at the next request.
    window_.TabSheet2->cmbPorts->setCurrentIndex(dialog_.cmbPorts->currentIndex());
}

void DeviceSearch::Button1Click() {
    if (session_.reserved()) {
        return;
    }
    if (dialog_.Button1->text() != kStart) {
        session_.comclose();
        dialog_.Button1->setText(kStart);
        dialog_.Timer1->stop();
        window_.boxes().information(QStringLiteral("Процесс поиска остановлен!"), kNoCaption);
        dialog_.pb_search->setValue(SearchDialog::kProgressMax);
        return;
    }
    if (!openPort(session_, window_.boxes())) {
        return; // no port listed: said so, nothing to search on
    }
    // The pings arm no timer of their own; a timeout or idle close left over from an earlier
    // request would otherwise close the port in the middle of the search.
    session_.Timer3->stop();
    session_.Timer4->stop();
    dialog_.Button1->setText(kStop);
    session_.searchState = 0;
    retry_ = 0;
    dialog_.Timer1->setInterval(SearchDialog::kFirstStepMs);
    dialog_.pb_search->setValue(0);
    window_.TabSheet2->cb_speed->setCurrentIndex(0);
    session_.Comspeed();
    dialog_.Timer1->start();
    dialog_.lser->setText(QStringLiteral("Процесс:... "));
}

void DeviceSearch::Timer1Timer() {
    QComboBox* speed = window_.TabSheet2->cb_speed;
    // The number as typed, within the field's limits (a half-typed number is still in the
    // field while the search runs).
    const LenientSpinBox& number = *dialog_.frm2_zn;
    const auto factoryNumber = static_cast<std::uint16_t>(
        std::clamp(number.typedValue(), number.minimum(), number.maximum()));
    if (++retry_ > kPingsPerSpeed) {
        if (session_.searchState < kAllSpeedsTried) {
            ++session_.searchState;
        }
        retry_ = 1;
        if (session_.searchState < kAllSpeedsTried) {
            speed->setCurrentIndex(session_.searchState);
            session_.Comspeed();
            dialog_.Timer1->setInterval(stepIntervalMs(session_.searchState));
        }
    }
    dialog_.pb_search->setValue(dialog_.pb_search->value() + 1);
    dialog_.lser->setText(
        QStringLiteral("Процесс: %1 бод/сек   повтор №%2").arg(speed->currentText()).arg(retry_));
    if (session_.searchState < kAllSpeedsTried) {
        session_.sendUncounted(pingFrame(factoryNumber));
    } else {
        finish();
    }
    if (!dialog_.isVisible()) {
        // Closed during the search: the ping of this tick has gone out, nothing more will.
        dialog_.Button1->setText(kStart);
        dialog_.Timer1->stop();
    }
}

void DeviceSearch::finish() {
    dialog_.pb_search->setValue(SearchDialog::kProgressMax);
    dialog_.Button1->setText(kStart);
    dialog_.Timer1->stop();
    // The port stays open at the speed reached, found or not.
    if (session_.searchState == kFound) {
        window_.boxes().information(QStringLiteral("Процесс поиска завершен! Устройство найдено!"),
                                    kNoCaption);
        dialog_.lser->setText(QStringLiteral("Найдено устройство: скорость %1 бод/сек")
                                  .arg(window_.TabSheet2->cb_speed->currentText()));
    } else {
        window_.boxes().information(
            QStringLiteral("Процесс поиска завершен! Устройство не обнаружено!"), kNoCaption);
    }
}

void DeviceSearch::answerToPing(const Frame& frame) {
    // An empty answer is not taken as the unit's; the factory number in it is not compared.
    if (frame.length() == 0) {
        return;
    }
    if (dialog_.isVisible()) {
        session_.searchState = kFound;
        return;
    }
    // Steps of the RS485 speed change: its first ping answered, then its check answered.
    if (session_.searchState == 0) {
        session_.searchState = 13;
    } else if (session_.searchState == 14) {
        session_.searchState = 15;
    }
}

} // namespace torl7
