// The accounting record on the "Протокол" page: read it, or reset it after a confirmation;
// either answer fills the five fields. In the report chain the read is the step before the
// protocol read, which it starts over the open port.
#pragma once

#include "protocol/frame.hpp"

#include <QObject>

namespace torl7 {

class UnitSession;
class MainWindow;
class ProtocolPage;

class Accounting : public QObject {
    Q_OBJECT
public:
    // Connects the two buttons and takes the answers with codes 7 and 8.
    explicit Accounting(MainWindow& window);

    // "Считать учетную запись".
    void Button7Click();
    // "Обнулить учетную запись": the unit resets the record and answers with the new one.
    void Button8Click();

    void recordRead(const Frame& frame);
    void recordReset(const Frame& frame);

private:
    void show(const Frame& frame);

    MainWindow& window_;
    UnitSession& session_;
    ProtocolPage& page_;
};

} // namespace torl7
