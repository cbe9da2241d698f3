#include "config/rs485_speed.hpp"

#include "app/config_page.hpp"
#include "app/diag_page.hpp"
#include "app/main_window.hpp"
#include "app/message_boxes.hpp"
#include "config/speed_change_codec.hpp"
#include "link/frame.hpp"

#include <QComboBox>
#include <QSpinBox>
#include <QTimer>

#include <array>

namespace torl7 {

namespace {

const QString kCaptionSpeedSet = QStringLiteral("Установка скорости RS485");

// By the PC's line speed index; from 9600 baud on the answers come within 50 ms.
constexpr std::array<int, 5> kFirstMs = {800, 400, 200, 100, 50};
constexpr std::array<int, 5> kStepMs = {900, 500, 300, 200, 100};
constexpr int kFastMs = 50;

int bySpeed(const std::array<int, 5>& table, int speedIndex) {
    return speedIndex >= 0 && speedIndex < static_cast<int>(table.size())
               ? table[static_cast<std::size_t>(speedIndex)]
               : kFastMs;
}

} // namespace

Rs485SpeedChange::Rs485SpeedChange(MainWindow& window)
    : QObject(&window), Timer1(new QTimer(this)), window_(window), link_(window.link()) {
    setObjectName(QStringLiteral("Rs485SpeedChange"));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kFirstMs[0]);
    connect(Timer1, &QTimer::timeout, this, &Rs485SpeedChange::Timer1Timer);
    // Only a choice of the user: the index set from a received record must not move the unit.
    connect(window.TabSheet1->cb_rs485, &QComboBox::activated, this,
            &Rs485SpeedChange::cb_rs485Change);
}

int Rs485SpeedChange::firstIntervalMs(int speedIndex) {
    return bySpeed(kFirstMs, speedIndex);
}

int Rs485SpeedChange::stepIntervalMs(int speedIndex) {
    return bySpeed(kStepMs, speedIndex);
}

std::uint16_t Rs485SpeedChange::factoryNumber() const {
    return static_cast<std::uint16_t>(window_.TabSheet2->frm1_zn->value());
}

void Rs485SpeedChange::cb_rs485Change() {
    if (link_.reserved()) {
        return;
    }
    // The combo keeps the picked item whatever the answer: a later configuration write
    // sends it.
    if (link_.boxes().question(
            QStringLiteral("Внимание скорость RS485 будет изменена! Продолжить?"), kCaptionTool) !=
        MessageBoxes::Answer::Yes) {
        link_.boxes().information(QStringLiteral("Изменение скорости RS485 отменено"),
                                  kCaptionSpeedSet);
        return;
    }
    if (!link_.comopen()) {
        return; // no port listed: said so
    }
    link_.setReserved(true);
    // Only Timer1 paces this exchange; a timeout or idle close left over from an earlier
    // request would otherwise close the port between its steps.
    link_.Timer3->stop();
    link_.Timer4->stop();
    link_.sendUncounted(pingFrame(factoryNumber()));
    Timer1->start(firstIntervalMs(window_.TabSheet2->cb_speed->currentIndex()));
    link_.searchState = 0;
}

void Rs485SpeedChange::Timer1Timer() {
    QComboBox* pcSpeed = window_.TabSheet2->cb_speed;
    switch (link_.searchState) {
    case kConfirmed:
        finish(QStringLiteral("Процесс изменения скорости RS485 успешно завершен!"),
               QStringLiteral("Скорость установлена!"));
        return;
    case kFollowing:
        // The unit talks at the new speed now: so does the PC, and asks it there.
        link_.comopen();
        link_.searchState = kWaiting;
        pcSpeed->setCurrentIndex(window_.TabSheet1->cb_rs485->currentIndex());
        link_.Comspeed();
        link_.sendUncounted(pingFrame(factoryNumber()));
        break;
    case kAnswered: {
        // The answer to the first ping is still the last frame received.
        const auto& answer = link_.lastFrame();
        link_.searchState = answer && answer->length() == 1 ? kFollowing : kWaiting;
        const int unitSpeed = window_.TabSheet1->cb_rs485->currentIndex();
        link_.sendUncounted(speedSetFrame(factoryNumber(), static_cast<std::uint8_t>(unitSpeed)));
        break;
    }
    default:
        // 0 or 14: the step just taken was not answered. No other value can stand here while
        // the link is reserved; should one, the exchange ends rather than hold the link.
        finish(QStringLiteral("Процесс изменения скорости RS485 остановлен!"),
               QStringLiteral("Устройство не отвечает!"));
        return;
    }
    Timer1->setInterval(stepIntervalMs(pcSpeed->currentIndex()));
}

void Rs485SpeedChange::finish(const QString& text, const QString& caption) {
    link_.comclose();
    Timer1->stop();
    link_.searchState = 0;
    link_.setReserved(false);
    link_.boxes().information(text, caption);
}

} // namespace torl7
