#include "session/operations/journal_reads.hpp"

#include <algorithm>

namespace torl7 {

void EventProtocolRead::start() {
    if (!begin()) {
        return;
    }
    step_ = Step::ReadingBlocks;
    ask(0);
}

void EventProtocolRead::ask(std::uint8_t block) {
    Operation::ask(kind::EventBlock, Bytes{block},
                   [this](const Answer& answer) { received(answer); });
}

void EventProtocolRead::received(const Answer& answer) {
    if (!answer) {
        step_ = Step::Idle;
        fail(*answer.error);
        return;
    }
    const EventBlock block = decodeEventBlock(answer.frame->payload());
    table_.storeBlock(answer.frame->payload());
    constexpr int kBlocks = static_cast<int>(kEventBlocks);
    report(std::min(block.index + 1, kBlocks), kBlocks);
    if (block.index + 1 < kBlocks) {
        ask(static_cast<std::uint8_t>(block.index + 1));
        return;
    }
    step_ = Step::Idle;
    succeed(table_.finish());
}

void AccountingExchange::start(AccountingRequest request) {
    if (!begin()) {
        return;
    }
    ask(request == AccountingRequest::Read ? kind::AccountingRead : kind::AccountingReset, {},
        [this](const Answer& answer) {
            if (!answer) {
                fail(*answer.error);
                return;
            }
            succeed(decodeAccounting(answer.frame->payload()));
        });
}

} // namespace torl7
