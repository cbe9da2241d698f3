#include "sim/unit_model.hpp"

#include "sim/handlers.hpp"

namespace torl7::sim {

namespace {

using Handler = Answer (*)(HandlerContext&, const PayloadReader&);

Handler handlerFor(std::uint8_t command) {
    switch (command) {
    case 0:
        return handleLinkRequest;
    case 1:
        return handleCalibrationSample;
    case 2:
        return handleConfigRead;
    case 3:
        return handleWrite;
    case 5:
        return handleProtectionReset;
    default:
        return nullptr;
    }
}

} // namespace

UnitModel::UnitModel(const UnitOptions& options, const Clock& clock) : clock_(clock) {
    state_.factoryNumber = options.factoryNumber;
    state_.lineSpeedBaud = options.lineSpeedBaud;
    state_.askToFollowSpeedChange = options.askToFollowSpeedChange;
    state_.referenceInputs = options.referenceInputs;
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
