#include "journal/accounting.hpp"

#include "app/main_window.hpp"
#include "app/message_boxes.hpp"
#include "app/protocol_page.hpp"
#include "journal/accounting_codec.hpp"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace torl7 {

namespace {

// Report chain: the accounting read (21) is followed by the protocol read (22).
constexpr int kReportChainAccountingRead = 21;
constexpr int kReportChainProtocolRead = 22;

const QString kResetCaption = QStringLiteral("Обнуление учетной записи");

} // namespace

Accounting::Accounting(MainWindow& window)
    : QObject(&window), window_(window), link_(window.link()), page_(*window.TabSheet3) {
    setObjectName(QStringLiteral("Accounting"));
    connect(page_.Button7, &QPushButton::clicked, this, &Accounting::Button7Click);
    connect(page_.Button8, &QPushButton::clicked, this, &Accounting::Button8Click);
    link_.setHandler(kind::AccountingRead, [this](const Frame& frame) { recordRead(frame); });
    link_.setHandler(kind::AccountingReset, [this](const Frame& frame) { recordReset(frame); });
}

void Accounting::Button7Click() {
    if (link_.reserved() || !link_.comopen()) {
        return;
    }
    link_.requestKind = kind::AccountingRead;
    link_.TXD();
}

void Accounting::Button8Click() {
    if (link_.reserved()) {
        return;
    }
    if (window_.boxes().question(
            QStringLiteral("Внимание учетная запись будет обнулена! Продолжить?"), kCaptionTool) !=
        MessageBoxes::Answer::Yes) {
        window_.boxes().information(QStringLiteral("Обнуление учетной записи отменено"),
                                    kResetCaption);
        return;
    }
    if (!link_.comopen()) {
        return;
    }
    link_.requestKind = kind::AccountingReset;
    link_.TXD();
}

void Accounting::recordRead(const Frame& frame) {
    if (link_.requestKind != kind::AccountingRead) {
        // Not the answer to the request in flight (a unit answering with the wrong code): it
        // is not taken for one, and the response timeout goes on to report the missing answer.
        link_.Timer3->start();
        return;
    }
    show(frame);
    if (link_.searchState == kReportChainAccountingRead) {
        link_.searchState = kReportChainProtocolRead;
        page_.pb_prot->setValue(0);
        link_.requestKind = kind::EventBlock;
        link_.payload[0] = 0;
        link_.TXD();
        return;
    }
    link_.comclose();
    window_.boxes().information(QStringLiteral("Учетная запись считана!"),
                                QStringLiteral("Считывание учетной записи"));
}

void Accounting::recordReset(const Frame& frame) {
    if (link_.requestKind != kind::AccountingReset) {
        // A reset answer to any other request would claim a reset that was never asked for;
        // the response timeout goes on to report the missing answer.
        link_.Timer3->start();
        return;
    }
    link_.comclose();
    show(frame);
    window_.boxes().information(QStringLiteral("Учетная запись обнулена!"), kResetCaption);
}

void Accounting::show(const Frame& frame) {
    const AccountingTexts texts = formatAccounting(decodeAccounting(frame.payload()));
    page_.st_nuh->setText(QString::fromStdString(texts.st_nuh));
    page_.st_tdv->setText(QString::fromStdString(texts.st_tdv));
    page_.st_kvdv->setText(QString::fromStdString(texts.st_kvdv));
    page_.st_kzdv->setText(QString::fromStdString(texts.st_kzdv));
    page_.st_nwa->setText(QString::fromStdString(texts.st_nwa));
}

} // namespace torl7
