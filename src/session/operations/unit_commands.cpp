#include "session/operations/unit_commands.hpp"

#include "protocol/codecs/version_codec.hpp"

namespace torl7 {

namespace {

// Answers of another selector that a snapshot read asks through.
constexpr int kSnapshotAsks = 5;

} // namespace

void SnapshotRead::start() {
    if (!begin()) {
        return;
    }
    asked_ = 0;
    ask();
}

void SnapshotRead::ask() {
    ++asked_;
    Operation::ask(kind::Diagnostics, {kSnapshotSelector}, [this](const Answer& answer) {
        if (!answer) {
            fail(*answer.error);
            return;
        }
        if (answer.frame->reader().byte(0) == kSnapshotSelector) {
            succeed(decodeSnapshot(answer.frame->payload()));
            return;
        }
        if (asked_ < kSnapshotAsks) {
            ask();
            return;
        }
        fail(SessionError{SessionError::Kind::Timeout, session_.portName(), {}});
    });
}

void VersionRead::start() {
    send(kind::Version, {}, [](const Frame& frame) { return decodeVersionText(frame.payload()); });
}

AcknowledgedCommand::AcknowledgedCommand(UnitSession& session)
    : Operation(session), snapshot_(session, PortUse::Part) {
    snapshot_.onFinished([this](const Outcome<Snapshot>& outcome) {
        if (running()) {
            fail(*lost_, Acknowledged{outcome.result});
        }
    });
}

void AcknowledgedCommand::send(RequestKind requestKind, const Bytes& payload) {
    if (!begin()) {
        return;
    }
    ask(requestKind, payload, [this](const Answer& answer) {
        if (answer) {
            succeed(Acknowledged{});
            return;
        }
        if (answer.error->kind != SessionError::Kind::Timeout) {
            fail(*answer.error);
            return;
        }
        // Carried out or not, the unit tells by what it shows now.
        lost_ = answer.error;
        snapshot_.start();
    });
}

void ClockCorrectionCommand::start(const LocalDateTime& now, const ClockPanel& panel) {
    send(kind::Clock, encodeClockCorrection(clockCorrectionAt(now, panel), now.year));
}

void ProtectionResetCommand::start() {
    send(kind::ProtectionReset, {});
}

} // namespace torl7
