#include "session/operations/report_chain.hpp"

namespace torl7 {

ReportChain::ReportChain(UnitSession& session, EventTable& table, PortUse portUse)
    : Operation(session, portUse), table_(table), configuration_(session, PortUse::Part),
      accounting_(session, PortUse::Part), events_(session, table, PortUse::Part) {
    follow(configuration_, &ReportChain::configurationRead);
    follow(accounting_, &ReportChain::accountingRead);
    follow(events_, &ReportChain::eventsRead);
    events_.onProgress([this](Progress blocks) { report(2 + blocks.done, kSteps); });
}

// A part that ends done hands its result to `next`; one that fails ends the chain at its step.
template <typename Part>
void ReportChain::follow(Part& part, void (ReportChain::*next)(const typename Part::Result&)) {
    part.onFinished([this, next](const Outcome<typename Part::Result>& outcome) {
        if (!running()) {
            return;
        }
        if (!outcome) {
            failedStep_ = step_;
            step_ = ReportStep::Idle;
            fail(*outcome.error);
            return;
        }
        (this->*next)(*outcome.result);
    });
}

void ReportChain::start(Observer observer) {
    if (!begin()) {
        return;
    }
    observer_ = std::move(observer);
    data_ = {};
    failedStep_ = ReportStep::Idle;
    step_ = ReportStep::Configuration;
    configuration_.start();
}

void ReportChain::configurationRead(const ConfigRecord& record) {
    data_.record = record;
    if (observer_.configurationRead) {
        observer_.configurationRead(record);
    }
    report(1, kSteps);
    step_ = ReportStep::Accounting;
    accounting_.start(AccountingRequest::Read);
}

void ReportChain::accountingRead(const AccountingRecord& record) {
    data_.accounting = record;
    if (observer_.accountingRead) {
        observer_.accountingRead(record);
    }
    report(2, kSteps);
    step_ = ReportStep::Events;
    events_.start();
}

void ReportChain::eventsRead(const EventRows& rows) {
    data_.events = rows;
    data_.eventSlots = table_.lastReadSlots();
    step_ = ReportStep::Idle;
    succeed(std::move(data_));
}

void ReportChain::cancelParts() {
    step_ = ReportStep::Idle;
    configuration_.cancel();
    accounting_.cancel();
    events_.cancel();
}

} // namespace torl7
