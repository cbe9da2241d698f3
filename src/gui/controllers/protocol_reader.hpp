// Reads the unit's event protocol into the grid of the "Протокол" page: ten block requests in
// a chain, each asked for by the block index of the answer before it, then the valid events
// in time order. At the end of the report chain it hands over to the report writer instead of
// saying that the protocol was read.
#pragma once

#include "protocol/codecs/event_codec.hpp"
#include "protocol/frame.hpp"

#include <QObject>

#include <vector>

namespace torl7 {

class UnitSession;
class MainWindow;
class ProtocolPage;

class ProtocolReader : public QObject {
    Q_OBJECT
public:
    // Connects "Считать протокол" and takes the answers with code 6.
    explicit ProtocolReader(MainWindow& window);

    // "Считать протокол": asks for block 0; every answer asks for the block after its own.
    void Button1Click();

    // One event block. The chain goes on with the block after the answer's index while that
    // index is below 9; block 9, or an index that names no block, ends the read.
    void eventBlockReceived(const Frame& frame);

private:
    void finishRead();
    void fillGrid(const std::vector<EventRow>& rows);

    MainWindow& window_;
    UnitSession& session_;
    ProtocolPage& page_;
    // Lives across reads: an entry a later read does not rewrite stays marked as used.
    EventTable table_;
};

} // namespace torl7
