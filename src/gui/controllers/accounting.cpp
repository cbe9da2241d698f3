#include "gui/controllers/accounting.hpp"

#include "gui/controllers/archive_feed.hpp"
#include "gui/controllers/line_gate.hpp"
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
    page.st_nuh->setText(QString::fromStdString(texts.start));
    page.st_tdv->setText(QString::fromStdString(texts.runningTime));
    page.st_kvdv->setText(QString::fromStdString(texts.starts));
    page.st_kzdv->setText(QString::fromStdString(texts.trips));
    page.st_nwa->setText(QString::fromStdString(texts.energy));
}

Accounting::Accounting(MainWindow& window, ArchiveFeed& archive)
    : QObject(&window), window_(window), archive_(archive), session_(window.session()),
      page_(*window.TabSheet3), exchange_(window.session()) {
    setObjectName(QStringLiteral("Accounting"));
    connectWhenLineFree(session_, page_.Button7, &QPushButton::clicked, this,
                        &Accounting::Button7Click);
    connectWhenLineFree(session_, page_.Button8, &QPushButton::clicked, this,
                        &Accounting::Button8Click);
    exchange_.onFinished([this](const Outcome<AccountingRecord>& outcome) { ended(outcome); });
}

void Accounting::Button7Click() {
    asked_ = AccountingRequest::Read;
    exchange_.start(asked_);
}

void Accounting::ended(const Outcome<AccountingRecord>& outcome) {
    if (!outcome) {
        sayFailure(*outcome.error, window_.boxes());
        return;
    }
    ArchiveReading reading = archive_.reading(
        asked_ == AccountingRequest::Read ? "read-accounting" : "reset-accounting");
    reading.accounting = *outcome.result;
    archive_.store(std::move(reading));
    showAccounting(*outcome.result, page_);
    if (asked_ == AccountingRequest::Read) {
        window_.boxes().information(QStringLiteral("Учетная запись считана!"),
                                    QStringLiteral("Считывание учетной записи"));
    } else {
        window_.boxes().information(QStringLiteral("Учетная запись обнулена!"), kResetCaption);
    }
}

void Accounting::Button8Click() {
    if (window_.boxes().question(
            QStringLiteral("Внимание учетная запись будет обнулена! Продолжить?"), kCaptionTool) !=
        MessageBoxes::Answer::Yes) {
        window_.boxes().information(QStringLiteral("Обнуление учетной записи отменено"),
                                    kResetCaption);
        return;
    }
    asked_ = AccountingRequest::Reset;
    exchange_.start(asked_);
}

} // namespace torl7
