#include "gui/controllers/rs485_speed.hpp"

#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/config_page.hpp"
#include "gui/pages/diag_page.hpp"

#include <QComboBox>
#include <QSpinBox>
#include <QTimer>

namespace torl7 {

namespace {

const QString kCaptionSpeedSet = QStringLiteral("Установка скорости RS485");

} // namespace

Rs485SpeedChange::Rs485SpeedChange(MainWindow& window)
    : QObject(&window), window_(window), session_(window.session()),
      change_(window.session(), this) {
    setObjectName(QStringLiteral("Rs485SpeedChange"));
    Timer1 = change_.Timer1;
    // Only a choice of the user: the index set from a received record must not move the unit.
    connect(window.TabSheet1->cb_rs485, &QComboBox::activated, this,
            &Rs485SpeedChange::cb_rs485Change);
    connect(&change_, &Rs485SpeedChangeOperation::pcSpeedFollowed, this,
            [this](int speedIndex) { window_.TabSheet2->cb_speed->setCurrentIndex(speedIndex); });
    connect(&change_, &Rs485SpeedChangeOperation::finished, this, &Rs485SpeedChange::finished);
    connect(&change_, &Rs485SpeedChangeOperation::failed, this,
            [this](const SessionError& error) { sayFailure(error, window_.boxes()); });
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
    change_.start(static_cast<std::uint16_t>(window_.TabSheet2->frm1_zn->value()),
                  window_.TabSheet1->cb_rs485->currentIndex(),
                  window_.TabSheet2->cb_speed->currentIndex());
}

void Rs485SpeedChange::finished(Rs485SpeedChangeOperation::Outcome outcome) {
    if (outcome == Rs485SpeedChangeOperation::Outcome::Changed) {
        window_.boxes().information(
            QStringLiteral("Процесс изменения скорости RS485 успешно завершен!"),
            QStringLiteral("Скорость установлена!"));
    } else {
        window_.boxes().information(QStringLiteral("Процесс изменения скорости RS485 остановлен!"),
                                    QStringLiteral("Устройство не отвечает!"));
    }
}

} // namespace torl7
