// The accounting record on the "Протокол" page: read it, or reset it after a confirmation;
// either answer fills the five fields.
#pragma once

#include "session/operations/journal_reads.hpp"

#include <QObject>

namespace torl7 {

class ArchiveFeed;
class UnitSession;
class MainWindow;
class ProtocolPage;

// The five fields of the record.
void showAccounting(const AccountingRecord& record, ProtocolPage& page);

class Accounting : public QObject {
    Q_OBJECT
public:
    // Connects the two buttons; each record the unit gives is kept in `archive`.
    Accounting(MainWindow& window, ArchiveFeed& archive);

    // "Считать учетную запись".
    void Button7Click();
    // "Обнулить учетную запись": the unit resets the record and answers with the new one.
    void Button8Click();

private:
    void ended(const Outcome<AccountingRecord>& outcome);

    MainWindow& window_;
    ArchiveFeed& archive_;
    UnitSession& session_;
    ProtocolPage& page_;
    AccountingExchange exchange_;
    AccountingRequest asked_ = AccountingRequest::Read;
};

} // namespace torl7
