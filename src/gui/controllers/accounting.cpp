#include "gui/controllers/accounting.hpp"

#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/protocol_page.hpp"

#include <QLabel>
#include <QPushButton>

namespace torl7 {

namespace {

const QString kResetCaption = QStringLiteral("Обнуление учетной записи");

} // namespace

void showAccounting(const AccountingRecord& record, ProtocolPage& page) {
    const AccountingTexts texts = formatAccounting(record);
    page.st_nuh->setText(QString::fromStdString(texts.st_nuh));
    page.st_tdv->setText(QString::fromStdString(texts.st_tdv));
    page.st_kvdv->setText(QString::fromStdString(texts.st_kvdv));
    page.st_kzdv->setText(QString::fromStdString(texts.st_kzdv));
    page.st_nwa->setText(QString::fromStdString(texts.st_nwa));
}

Accounting::Accounting(MainWindow& window)
    : QObject(&window), window_(window), session_(window.session()), page_(*window.TabSheet3) {
    setObjectName(QStringLiteral("Accounting"));
    connect(page_.Button7, &QPushButton::clicked, this, &Accounting::Button7Click);
    connect(page_.Button8, &QPushButton::clicked, this, &Accounting::Button8Click);
}

void Accounting::Button7Click() {
    if (session_.reserved() || !openPort(session_, window_.boxes())) {
        return;
    }
    exchangeAccounting(session_, AccountingRequest::Read,
                       [this](const Outcome<AccountingRecord>& outcome) {
                           if (!outcome) {
                               sayFailure(*outcome.error, window_.boxes());
                               return;
                           }
                           showAccounting(*outcome.result, page_);
                           window_.boxes().information(QStringLiteral("Учетная запись считана!"),
                                                       QStringLiteral("Считывание учетной записи"));
                       });
}

void Accounting::Button8Click() {
    if (session_.reserved()) {
        return;
    }
    if (window_.boxes().question(
            QStringLiteral("Внимание учетная запись будет обнулена! Продолжить?"), kCaptionTool) !=
        MessageBoxes::Answer::Yes) {
        window_.boxes().information(QStringLiteral("Обнуление учетной записи отменено"),
                                    kResetCaption);
        return;
    }
    if (!openPort(session_, window_.boxes())) {
        return;
    }
    exchangeAccounting(
        session_, AccountingRequest::Reset, [this](const Outcome<AccountingRecord>& outcome) {
            if (!outcome) {
                sayFailure(*outcome.error, window_.boxes());
                return;
            }
            showAccounting(*outcome.result, page_);
            window_.boxes().information(QStringLiteral("Учетная запись обнулена!"), kResetCaption);
        });
}

} // namespace torl7
