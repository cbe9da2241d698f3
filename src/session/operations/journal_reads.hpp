// The journal of the unit: the event protocol, read in ten blocks, and the accounting record,
// read or reset.
#pragma once

#include "protocol/codecs/accounting_codec.hpp"
#include "protocol/codecs/event_codec.hpp"
#include "session/operations/operation.hpp"

#include <vector>

namespace torl7 {

using EventRows = std::vector<EventRow>;

// Reads the event protocol into `table`: block 0 first, then each time the block after the
// index the unit answered with, while that index is below 9; block 9, or an index that names
// no block, ends the read. The table is the caller's and lives across reads (an entry a later
// read does not rewrite stays used up), so the rows are the valid events in time order.
// Progress: the blocks done so far (the answer's index + 1) of 10.
class EventProtocolRead : public Operation<EventRows> {
public:
    enum class Step { Idle, ReadingBlocks };

    EventProtocolRead(UnitSession& session, EventTable& table, PortUse portUse = PortUse::OwnRun)
        : Operation(session, portUse), table_(table) {}

    void start();
    Step step() const { return step_; }

private:
    void ask(std::uint8_t block);
    void received(const Answer& answer);

    EventTable& table_;
    Step step_ = Step::Idle;
};

// Reads (kind 7) or resets (kind 8) the accounting record; the unit answers either with the
// record as it now stands.
enum class AccountingRequest { Read, Reset };

class AccountingExchange : public Operation<AccountingRecord> {
public:
    explicit AccountingExchange(UnitSession& session, PortUse portUse = PortUse::OwnRun)
        : Operation(session, portUse) {}

    void start(AccountingRequest request);
};

} // namespace torl7
