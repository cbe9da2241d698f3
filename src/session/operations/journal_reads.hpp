// The journal of the unit: the event protocol, read in ten blocks, and the accounting record,
// read or reset. Each operation ends exactly once, with its result or the session's error, and
// leaves the port closed.
#pragma once

#include "protocol/codecs/accounting_codec.hpp"
#include "protocol/codecs/event_codec.hpp"
#include "session/operations/outcome.hpp"

#include <functional>
#include <vector>

namespace torl7 {

using EventRows = std::vector<EventRow>;

// Reads the event protocol into `table`: block 0 first, then each time the block after the
// index the unit answered with, while that index is below 9; block 9, or an index that names
// no block, ends the read. The table is the caller's and lives across reads (an entry a later
// read does not rewrite stays used up), so the rows are the valid events in time order.
class EventProtocolRead {
public:
    enum class Step { Idle, ReadingBlocks };
    // After each block: the blocks done so far (the answer's index + 1, at most 10).
    using Progress = std::function<void(int blocksDone)>;
    using Done = std::function<void(const Outcome<EventRows>&)>;

    EventProtocolRead(UnitSession& session, EventTable& table) : session_(session), table_(table) {}

    // Over the open port. `closeWhenDone`: a chain that goes on keeps the port open.
    void start(Progress progress, Done done, bool closeWhenDone = true);
    Step step() const { return step_; }

private:
    void ask(std::uint8_t block);
    void received(const Answer& answer);

    UnitSession& session_;
    EventTable& table_;
    Step step_ = Step::Idle;
    bool closeWhenDone_ = true;
    Progress progress_;
    Done done_;
};

// Reads (kind 7) or resets (kind 8) the accounting record over the open port; the unit answers
// either with the record as it now stands.
enum class AccountingRequest { Read, Reset };
using AccountingDone = std::function<void(const Outcome<AccountingRecord>&)>;
void exchangeAccounting(UnitSession& session, AccountingRequest request, AccountingDone done,
                        bool closeWhenDone = true);

} // namespace torl7
