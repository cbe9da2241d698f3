#include "session/operations/report_chain.hpp"

namespace torl7 {

void ReportChain::start(Observer observer, Done done) {
    observer_ = std::move(observer);
    done_ = std::move(done);
    data_ = {};
    failedStep_ = ReportStep::Idle;
    step_ = ReportStep::Configuration;
    configuration_.start([this](const ReadConfiguration::Result& read) {
        if (!read.record) {
            fail(read.error);
            return;
        }
        data_.record = *read.record;
        if (observer_.configurationRead) {
            observer_.configurationRead(data_.record);
        }
        step_ = ReportStep::Accounting;
        exchangeAccounting(
            session_, AccountingRequest::Read,
            [this](const Outcome<AccountingRecord>& accounting) {
                if (!accounting) {
                    fail(accounting.error);
                    return;
                }
                data_.accounting = *accounting.result;
                if (observer_.accountingRead) {
                    observer_.accountingRead(data_.accounting);
                }
                step_ = ReportStep::Events;
                events_.start(observer_.blocksRead, [this](const Outcome<EventRows>& events) {
                    if (!events) {
                        fail(events.error);
                        return;
                    }
                    data_.events = *events.result;
                    step_ = ReportStep::Idle;
                    const Done done = done_;
                    done(Outcome<ReportChainData>{std::move(data_), std::nullopt});
                });
            },
            /*closeWhenDone=*/false);
    });
}

void ReportChain::fail(const std::optional<SessionError>& error) {
    failedStep_ = step_;
    step_ = ReportStep::Idle;
    const Done done = done_; // may start the chain again
    done(Outcome<ReportChainData>{std::nullopt, error});
}

} // namespace torl7
