#include "sim/unit_model.hpp"

#include "sim/handlers.hpp"

namespace torl7::sim {

namespace {

using Handler = Answer (*)(HandlerContext&, const PayloadReader&);

Handler handlerFor(std::uint8_t command) {
    switch (command) {
    case 0:
        return handleLinkRequest;
    case 5:
        return handleProtectionReset;
    case 6:
        return handleEventBlock;
    case 7:
        return handleAccountingRead;
    case 8:
        return handleAccountingReset;
    default:
        return nullptr;
    }
}

} // namespace

UnitModel::UnitModel(const UnitOptions& options, const Clock& clock) : clock_(clock) {
    state_.factoryNumber = options.factoryNumber;
    state_.lineSpeedBaud = options.lineSpeedBaud;
    state_.askToFollowSpeedChange = options.askToFollowSpeedChange;
    state_.events = options.events;
    state_.accountingAtMark = initialAccounting();
    state_.accountingMark = clock.now();
}

std::vector<Bytes> UnitModel::handle(const Frame& request) {
    if (request.factoryNumber() != state_.factoryNumber) {
        return {};
    }
    const Handler handler = handlerFor(request.command());
    if (handler == nullptr) {
        return {};
    }
    HandlerContext context{state_, clock_};
    const Answer payload = handler(context, request.reader());
    if (!payload) {
        return {};
    }
    return {buildFrame(state_.factoryNumber, request.command(), *payload)};
}

} // namespace torl7::sim
