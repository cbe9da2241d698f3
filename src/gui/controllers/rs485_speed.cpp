#include "gui/controllers/rs485_speed.hpp"

#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"
#include "protocol/codecs/speed_change_codec.hpp"
#include "protocol/frame.hpp"

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
    : QObject(&window), Timer1(new QTimer(this)), window_(window), session_(window.session()) {
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
    if (session_.reserved()) {
        return;
    }
    // The combo keeps the picked item whatever the answer: a later configuration write
    // sends it.
    if (window_.boxes().question(
            QStringLiteral("Внимание скорость RS485 будет изменена! Продолжить?"), kCaptionTool) !=
        MessageBoxes::Answer::Yes) {
        window_.boxes().information(QStringLiteral("Изменение скорости RS485 отменено"),
                                    kCaptionSpeedSet);
        return;
    }
    if (!openPort(session_, window_.boxes())) {
        return; // no port listed: said so
    }
    session_.setReserved(true);
    // Only Timer1 paces this exchange; a timeout or idle close left over from an earlier
    // request would otherwise close the port between its steps.
    session_.Timer3->stop();
    session_.Timer4->stop();
    session_.sendUncounted(pingFrame(factoryNumber()));
    Timer1->start(firstIntervalMs(window_.TabSheet2->cb_speed->currentIndex()));
    session_.searchState = 0;
}

void Rs485SpeedChange::Timer1Timer() {
    QComboBox* pcSpeed = window_.TabSheet2->cb_speed;
    switch (session_.searchState) {
    case kConfirmed:
        finish(QStringLiteral("Процесс изменения скорости RS485 успешно завершен!"),
               QStringLiteral("Скорость установлена!"));
        return;
    case kFollowing:
        // The unit talks at the new speed now: so does the PC, and asks it there.
        openPort(session_, window_.boxes());
        session_.searchState = kWaiting;
        pcSpeed->setCurrentIndex(window_.TabSheet1->cb_rs485->currentIndex());
        session_.Comspeed();
        session_.sendUncounted(pingFrame(factoryNumber()));
        break;
    case kAnswered: {
        // The answer to the first ping is still the last frame received.
        const auto& answer = session_.lastFrame();
        session_.searchState = answer && answer->length() == 1 ? kFollowing : kWaiting;
        const int unitSpeed = window_.TabSheet1->cb_rs485->currentIndex();
        session_.sendUncounted(
            speedSetFrame(factoryNumber(), static_cast<std::uint8_t>(unitSpeed)));
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
    session_.comclose();
    Timer1->stop();
    session_.searchState = 0;
    session_.setReserved(false);
    window_.boxes().information(text, caption);
}

} // namespace torl7
