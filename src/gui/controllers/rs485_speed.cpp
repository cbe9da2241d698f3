#include "gui/controllers/rs485_speed.hpp"

#include "gui/controllers/line_gate.hpp"
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
    // Only a choice of the user: the index set from a received record must not move the unit.
    connectWhenLineFree(session_, window.TabSheet1->cb_rs485, &QComboBox::activated, this,
                        &Rs485SpeedChange::cb_rs485Change);
    connect(&change_, &Rs485SpeedChangeOperation::pcSpeedFollowed, this,
            [this](int speedIndex) { window_.TabSheet2->cb_speed->setCurrentIndex(speedIndex); });
    change_.onFinished([this](const Outcome<SpeedChanged>& outcome) { finished(outcome); });
}

void Rs485SpeedChange::cb_rs485Change() {
    // The combo keeps the picked item whatever the answer: a later configuration write
    // sends it.
    if (window_.boxes().question(
            QStringLiteral("Внимание скорость RS485 будет изменена! Продолжить?"), kCaptionTool) !=
        MessageBoxes::Answer::Yes) {
        window_.boxes().information(QStringLiteral("Изменение скорости RS485 отменено"),
                                    kCaptionSpeedSet);
        return;
    }
    change_.start(static_cast<std::uint16_t>(window_.TabSheet2->frm1_zn->value()),
                  window_.TabSheet1->cb_rs485->currentIndex(),
                  window_.TabSheet2->cb_speed->currentIndex());
}

void Rs485SpeedChange::finished(const Outcome<SpeedChanged>& outcome) {
    if (outcome) {
        window_.boxes().information(
            QStringLiteral("Процесс изменения скорости RS485 успешно завершен!"),
            QStringLiteral("Скорость установлена!"));
    } else if (outcome.error->kind == SessionError::Kind::Timeout) {
        window_.boxes().information(QStringLiteral("Процесс изменения скорости RS485 остановлен!"),
                                    QStringLiteral("Устройство не отвечает!"));
    } else {
        sayFailure(*outcome.error, window_.boxes());
    }
}

} // namespace torl7
