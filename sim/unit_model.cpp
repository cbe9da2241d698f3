#include "sim/unit_model.hpp"

#include "protocol/codecs/calibration_codec.hpp"
#include "protocol/line_speed.hpp"
#include "protocol/request_kind.hpp"
#include "sim/handlers.hpp"

#include <cmath>
#include <numbers>

namespace torl7::sim {

namespace {

// Kinds 1 and 3 are split further by payload byte 0: the diagnostics selector and the write
// sub-mode.
Handler handlerFor(const Frame& request) {
    const std::uint8_t selector = request.reader().byte(0);
    const auto asked = requestKindOf(request.command());
    if (!asked) {
        return nullptr; // a code the unit does not know: it stays silent
    }
    switch (*asked) {
    case kind::Ping:
        return handleLinkRequest;
    case kind::Diagnostics:
        return selector == kCalibrationSelector ? handleCalibrationSample : handleDiagnostics;
    case kind::ConfigRead:
        return handleConfigRead;
    case kind::Write:
        if (request.length() == 0) {
            return nullptr;
        }
        return selector == kWriteSubModeConfig         ? handleConfigWrite
               : selector == kWriteSubModeCoefficients ? handleCoefficientWrite
                                                       : nullptr;
    case kind::Clock:
        return handleClockCorrection;
    case kind::ProtectionReset:
        return handleProtectionReset;
    case kind::EventBlock:
        return handleEventBlock;
    case kind::AccountingRead:
        return handleAccountingRead;
    case kind::AccountingReset:
        return handleAccountingReset;
    case kind::Version:
        return handleVersion;
    }
    return nullptr;
}

} // namespace

UnitModel::UnitModel(const UnitOptions& options, const Clock& clock) : clock_(clock) {
    state_.factoryNumber = options.factoryNumber;
    state_.lineSpeedBaud = options.lineSpeedBaud;
    state_.askToFollowSpeedChange = options.askToFollowSpeedChange;
    state_.versionText = options.versionText;
    state_.wave = options.wave;
    state_.inputs = unbalancedInputs(options.wave, options.inputs);
    state_.uminLimitVolts = options.uminLimitVolts;
    state_.coefficientLimit = options.coefficientLimit;
    state_.plant = Plant(clock.now(), options.trips, options.seed);
    if (options.wave.currentLagDeg) {
        state_.plant.setRunningCosF(std::cos(*options.wave.currentLagDeg * std::numbers::pi / 180));
    }
    state_.protocol = options.events.value_or(EventProtocol::sample());
    if (options.accounting) {
        state_.plant.setAccounting(*options.accounting);
    }
    if (!options.installation.empty()) {
        state_.record.installation = unitText16(options.installation);
    }
    if (options.askToFollowSpeedChange) {
        // The tool is on the bus, so the bus runs at the line's speed.
        if (const int index = indexForBaud(options.lineSpeedBaud); index >= 0) {
            state_.record.rs485SpeedIndex = static_cast<std::uint8_t>(index);
        }
    }
}

void UnitModel::advance() {
    const WallTime now = clock_.now();
    state_.plant.advance(
        now, state_.record, state_.inputs, [this](Protection protection, WallTime at) {
            const Measurements m = state_.plant.steadyMeasurements(state_.record, state_.inputs);
            state_.protocol.append(
                eventRecord(clockRegisters(unitTime(state_.clock, at), false), protection, m));
        });
}

std::vector<Bytes> UnitModel::handle(const Frame& request) {
    if (request.factoryNumber() != state_.factoryNumber) {
        return {};
    }
    const Handler handler = handlerFor(request);
    if (handler == nullptr) {
        return {};
    }
    advance();
    HandlerContext context{state_, clock_};
    const Answer payload = handler(context, request.reader());
    if (!payload) {
        return {};
    }
    return {buildFrame(state_.factoryNumber, request.command(), *payload)};
}

} // namespace torl7::sim
