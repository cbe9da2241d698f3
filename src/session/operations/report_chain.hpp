// The report chain: the configuration, the accounting record and the event protocol, each
// read fresh from the unit over one open port, for the report made from them. A step left
// unanswered ends the chain; the next read of any of them is a plain read again.
// Progress: 1 after the configuration, 2 after the accounting record, then 2 + the event
// blocks done, of 12.
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
    // The record bytes of the unit's slots as the read received them.
    EventSlots eventSlots;
};

class ReportChain : public Operation<ReportChainData> {
public:
    static constexpr int kSteps = 2 + static_cast<int>(kEventBlocks);

    // Each step's data as it arrives, so that it can be shown while the chain goes on.
    struct Observer {
        std::function<void(const ConfigRecord&)> configurationRead;
        std::function<void(const AccountingRecord&)> accountingRead;
    };

    // The event table is the one the plain protocol read uses: the unit's protocol is read the
    // same way whichever asks for it.
    ReportChain(UnitSession& session, EventTable& table, PortUse portUse = PortUse::OwnRun);

    void start(Observer observer = {});
    ReportStep step() const { return step_; }
    // The step a chain that ended without its data was waiting at.
    ReportStep failedStep() const { return failedStep_; }

private:
    void cancelParts() override;
    template <typename Part>
    void follow(Part& part, void (ReportChain::*next)(const typename Part::Result&));
    void configurationRead(const ConfigRecord& record);
    void accountingRead(const AccountingRecord& record);
    void eventsRead(const EventRows& rows);

    EventTable& table_;
    ReadConfiguration configuration_;
    AccountingExchange accounting_;
    EventProtocolRead events_;
    ReportStep step_ = ReportStep::Idle;
    ReportStep failedStep_ = ReportStep::Idle;
    Observer observer_;
    ReportChainData data_;
};

} // namespace torl7
