// The report chain: the configuration, the accounting record and the event protocol, each
// read fresh from the unit over one open port, for the report made from them. A step left
// unanswered ends the chain; the next read of any of them is a plain read again.
#pragma once

#include "protocol/codecs/config_record_codec.hpp"
#include "session/operations/journal_reads.hpp"
#include "session/operations/read_configuration.hpp"

namespace torl7 {

enum class ReportStep { Idle, Configuration, Accounting, Events };

struct ReportChainData {
    ConfigRecord record;
    AccountingRecord accounting;
    EventRows events;
};

class ReportChain {
public:
    // Each step's data as it arrives, so that it can be shown while the chain goes on, and the
    // progress of the event read.
    struct Observer {
        std::function<void(const ConfigRecord&)> configurationRead;
        std::function<void(const AccountingRecord&)> accountingRead;
        EventProtocolRead::Progress blocksRead;
    };
    using Done = std::function<void(const Outcome<ReportChainData>&)>;

    // The event table is the one the plain protocol read uses: the unit's protocol is read the
    // same way whichever asks for it.
    ReportChain(UnitSession& session, EventTable& table)
        : session_(session), configuration_(session), events_(session, table) {}

    // Over the open port; the port is closed when the chain ends.
    void start(Observer observer, Done done);
    ReportStep step() const { return step_; }
    // The step a chain that ended without its data was waiting at.
    ReportStep failedStep() const { return failedStep_; }

private:
    void fail(const std::optional<SessionError>& error);

    UnitSession& session_;
    ReadConfiguration configuration_;
    EventProtocolRead events_;
    ReportStep step_ = ReportStep::Idle;
    ReportStep failedStep_ = ReportStep::Idle;
    Observer observer_;
    Done done_;
    ReportChainData data_;
};

} // namespace torl7
