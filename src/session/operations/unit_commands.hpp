// The one-request commands: the clock correction (kind 4), the protection reset (kind 5), the
// firmware version (kind 15) and one status snapshot (kind 1, selector 0). Each sends one
// request and ends with the unit's answer (the port then closed) or the session's error.
//
// A clock correction or reset whose acknowledgement does not come may still have been carried
// out. One status snapshot is read right after, so the owner can say what the unit now shows
// (protocol/lost_acknowledgement.hpp); the command still ends with the timeout.
#pragma once

#include "protocol/codecs/clock_codec.hpp"
#include "protocol/codecs/snapshot_codec.hpp"
#include "session/operations/operation.hpp"

#include <string>

namespace torl7 {

// One request whose answer, decoded, is the result.
template <typename R> class SingleRequest : public Operation<R> {
public:
    explicit SingleRequest(UnitSession& session, PortUse portUse = PortUse::OwnRun)
        : Operation<R>(session, portUse) {}

protected:
    template <typename Decode>
    void send(RequestKind requestKind, const Bytes& payload, Decode decode) {
        if (!this->begin()) {
            return;
        }
        this->ask(requestKind, payload, [this, decode](const Answer& answer) {
            if (!answer) {
                this->fail(*answer.error);
                return;
            }
            this->succeed(decode(*answer.frame));
        });
    }
};

// The unit's status snapshot, once. An answer with another selector (a poll's waveform block
// still under way) is no snapshot: the request is asked again, a few times at most.
class SnapshotRead : public Operation<Snapshot> {
public:
    explicit SnapshotRead(UnitSession& session, PortUse portUse = PortUse::OwnRun)
        : Operation(session, portUse) {}
    void start();

private:
    void ask();
    int asked_ = 0;
};

// The unit's 16 characters, blanks and all.
class VersionRead : public SingleRequest<std::string> {
public:
    using SingleRequest::SingleRequest;
    void start();
};

struct Acknowledged {
    // When the acknowledgement did not come: the snapshot read right after (nothing when that
    // went unanswered too).
    std::optional<Snapshot> snapshotAfterLoss;
};

// A command the unit acknowledges; a lost acknowledgement is followed by one snapshot.
class AcknowledgedCommand : public Operation<Acknowledged> {
public:
    explicit AcknowledgedCommand(UnitSession& session);

protected:
    void send(RequestKind requestKind, const Bytes& payload);

private:
    void cancelParts() override { snapshot_.cancel(); }

    SnapshotRead snapshot_;
    std::optional<SessionError> lost_;
};

// Sets the unit's clock to `now` with the clock panel's settings.
class ClockCorrectionCommand : public AcknowledgedCommand {
public:
    using AcknowledgedCommand::AcknowledgedCommand;
    void start(const LocalDateTime& now, const ClockPanel& panel);
};

class ProtectionResetCommand : public AcknowledgedCommand {
public:
    using AcknowledgedCommand::AcknowledgedCommand;
    void start();
};

} // namespace torl7
