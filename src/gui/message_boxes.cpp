#include "gui/message_boxes.hpp"

#include "protocol/line_endpoint.hpp"
#include "session/unit_session.hpp"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace torl7 {

QWidget* QtMessageBoxes::ownerOf(QWidget* over) const {
    if (over != nullptr)
        return over;
    // A box the main window raises while a dialog is open over it belongs over the dialog.
    QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr ? modal : parent_;
}

void QtMessageBoxes::error(const QString& text, const QString& caption, QWidget* over) {
    QMessageBox::critical(ownerOf(over), caption, text, QMessageBox::Ok);
}

void QtMessageBoxes::information(const QString& text, const QString& caption, QWidget* over) {
    QMessageBox::information(ownerOf(over), caption, text, QMessageBox::Ok);
}

MessageBoxes::Answer QtMessageBoxes::question(const QString& text, const QString& caption,
                                              QWidget* over) {
    const auto button = QMessageBox::question(ownerOf(over), caption, text,
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return button == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtMessageBoxes::conversionError(const QString& text) {
    QMessageBox::critical(ownerOf(nullptr), kCaptionTool, text, QMessageBox::Ok);
}

bool QtMessageBoxes::noAnswer(const QString& text, const QString& caption, const QString& detail,
                              bool offerSearch, QWidget* over) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, ownerOf(over));
    // A second line under the established one, shown at once: the user reads it before
    // deciding what to do.
    box.setInformativeText(detail);
    const QAbstractButton* search =
        offerSearch ? box.addButton(QStringLiteral("Поиск устройства"), QMessageBox::ActionRole)
                    : nullptr;
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return search != nullptr && box.clickedButton() == search;
}

QString notANumberText(const QString& typed) {
    return QStringLiteral("«%1» — не число").arg(typed);
}

QString notAnIntegerText(const QString& typed) {
    return QStringLiteral("«%1» — не целое число").arg(typed);
}

void sayFailure(const SessionError& error, MessageBoxes& boxes, QWidget* over) {
    switch (error.kind) {
    case SessionError::Kind::NoPort:
        boxes.error(QStringLiteral("Не найден СОМ-порт!"), kCaptionPort, over);
        return;
    case SessionError::Kind::PortNotOpened: {
        // The established text, then which port it was and what the system said.
        QString text = QStringLiteral("Ошибка открытия порта !\n%1").arg(error.port);
        if (!error.detail.isEmpty()) {
            text += QStringLiteral(": ") + error.detail;
        }
        if (const QString hint = portRefusalHint(error.refusal, true); !hint.isEmpty()) {
            text += QLatin1Char('\n') + hint;
        }
        boxes.error(text, kCaptionPort, over);
        return;
    }
    case SessionError::Kind::LineLost:
        return; // the main window says so once, when the line goes (sayLineLost)
    case SessionError::Kind::Timeout:
        sayNoAnswer(boxes, over);
        return;
    case SessionError::Kind::Refused:
        return; // the button that asked does nothing while another exchange holds the line
    case SessionError::Kind::Cancelled:
        return; // the user or another action ended it
    case SessionError::Kind::SpeedFixed:
        boxes.error(QStringLiteral("Скорость линии %1 задаётся в сервере: поиск скорости по этой "
                                   "линии невозможен. Задайте скорость в сервере или откройте "
                                   "линию как rfc2217://, если сервер это позволяет.")
                        .arg(error.port),
                    kCaptionTool, over);
        return;
    }
}

void sayNoAnswer(MessageBoxes& boxes, QWidget* over, const QString& finding) {
    const MessageBoxes::LineHint hint = !finding.isEmpty() ? MessageBoxes::LineHint{finding, {}}
                                        : boxes.lineHint   ? boxes.lineHint()
                                                           : MessageBoxes::LineHint{};
    const bool offerSearch = static_cast<bool>(hint.search);
    if (boxes.noAnswer(kNoAnswerText, kCaptionTool, hint.text, offerSearch, over) && offerSearch) {
        hint.search();
    }
}

void sayLineLost(const QString& port, const QString& reason, MessageBoxes& boxes) {
    if (isNetworkPort(port.toStdString())) {
        boxes.error(QStringLiteral("Порт %1 закрыт: связь с сервером потеряна (%2).\n"
                                   "Проверьте сервер и сеть и повторите действие.")
                        .arg(port, reason),
                    kCaptionPort);
        return;
    }
    boxes.error(QStringLiteral("Порт %1 закрыт: связь с адаптером потеряна (%2).\n"
                               "Подключите адаптер и повторите действие.")
                    .arg(port, reason),
                kCaptionPort);
}

} // namespace torl7
