#include "session/operations/journal_reads.hpp"

#include "protocol/request_kind.hpp"

#include <algorithm>

namespace torl7 {

void EventProtocolRead::start(Progress progress, Done done, bool closeWhenDone) {
    progress_ = std::move(progress);
    done_ = std::move(done);
    closeWhenDone_ = closeWhenDone;
    step_ = Step::ReadingBlocks;
    ask(0);
}

void EventProtocolRead::ask(std::uint8_t block) {
    session_.request(kind::EventBlock, Bytes{block},
                     [this](const Answer& answer) { received(answer); });
}

void EventProtocolRead::received(const Answer& answer) {
    if (!answer) {
        step_ = Step::Idle;
        const Done done = done_; // may start the read again
        done(Outcome<EventRows>{std::nullopt, answer.error});
        return;
    }
    const EventBlock block = decodeEventBlock(answer.frame->payload());
    table_.storeBlock(block);
    if (progress_) {
        progress_(std::min<int>(block.index + 1, static_cast<int>(kEventBlocks)));
    }
    if (block.index + 1 < static_cast<int>(kEventBlocks)) {
        ask(static_cast<std::uint8_t>(block.index + 1));
        return;
    }
    step_ = Step::Idle;
    if (closeWhenDone_) {
        session_.comclose();
    }
    const Done done = done_;
    done(Outcome<EventRows>{table_.finish(), std::nullopt});
}

void exchangeAccounting(UnitSession& session, AccountingRequest request, AccountingDone done,
                        bool closeWhenDone) {
    const std::uint8_t requestKind =
        request == AccountingRequest::Read ? kind::AccountingRead : kind::AccountingReset;
    session.request(requestKind, {},
                    [&session, done = std::move(done), closeWhenDone](const Answer& answer) {
                        if (!answer) {
                            done(Outcome<AccountingRecord>{std::nullopt, answer.error});
                            return;
                        }
                        if (closeWhenDone) {
                            session.comclose();
                        }
                        done(Outcome<AccountingRecord>{decodeAccounting(answer.frame->payload()),
                                                       std::nullopt});
                    });
}

} // namespace torl7
