#include "gui/controllers/accounting.hpp"

#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "gui/pages/protocol_page.hpp"
#include "protocol/codecs/accounting_codec.hpp"

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
    : QObject(&window), window_(window), session_(window.session()), page_(*window.TabSheet3) {
    setObjectName(QStringLiteral("Accounting"));
    connect(page_.Button7, &QPushButton::clicked, this, &Accounting::Button7Click);
    connect(page_.Button8, &QPushButton::clicked, this, &Accounting::Button8Click);
    session_.setHandler(kind::AccountingRead, [this](const Frame& frame) { recordRead(frame); });
    session_.setHandler(kind::AccountingReset, [this](const Frame& frame) { recordReset(frame); });
}

void Accounting::Button7Click() {
    if (session_.reserved() || !openPort(session_, window_.boxes())) {
        return;
    }
    session_.requestKind = kind::AccountingRead;
    session_.TXD();
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
    session_.requestKind = kind::AccountingReset;
    session_.TXD();
}

void Accounting::recordRead(const Frame& frame) {
    show(frame);
    if (session_.searchState == kReportChainAccountingRead) {
        session_.searchState = kReportChainProtocolRead;
        page_.pb_prot->setValue(0);
        session_.requestKind = kind::EventBlock;
        session_.payload[0] = 0;
        session_.TXD();
        return;
    }
    session_.comclose();
    window_.boxes().information(QStringLiteral("Учетная запись считана!"),
                                QStringLiteral("Считывание учетной записи"));
}

void Accounting::recordReset(const Frame& frame) {
    session_.comclose();
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
