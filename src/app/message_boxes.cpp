#include "app/message_boxes.hpp"

#include <QMessageBox>

namespace torl7 {

void QtMessageBoxes::error(const QString& text, const QString& caption) {
    QMessageBox::critical(parent_, caption, text, QMessageBox::Ok);
}

void QtMessageBoxes::information(const QString& text, const QString& caption) {
    QMessageBox::information(parent_, caption, text, QMessageBox::Ok);
}

MessageBoxes::Answer QtMessageBoxes::question(const QString& text, const QString& caption) {
    const auto button = QMessageBox::question(parent_, caption, text,
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return button == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtMessageBoxes::conversionError(const QString& text) {
    QMessageBox::critical(parent_, kCaptionTool, text, QMessageBox::Ok);
}

QString notANumberText(const QString& typed) {
    return QStringLiteral("«%1» — не число").arg(typed);
}

QString notAnIntegerText(const QString& typed) {
    return QStringLiteral("«%1» — не целое число").arg(typed);
}

} // namespace torl7
