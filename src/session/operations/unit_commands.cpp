#include "session/operations/unit_commands.hpp"

#include "protocol/codecs/version_codec.hpp"
#include "protocol/request_kind.hpp"

namespace torl7 {

namespace {

// One request; its answer, decoded by `decode`, ends the command with the port closed.
template <typename Result, typename Decode>
void oneRequest(UnitSession& session, std::uint8_t requestKind, const Bytes& payload, Decode decode,
                std::function<void(const Outcome<Result>&)> done) {
    session.request(requestKind, payload,
                    [&session, decode, done = std::move(done)](const Answer& answer) {
                        if (!answer) {
                            done(Outcome<Result>{std::nullopt, answer.error});
                            return;
                        }
                        session.comclose();
                        done(Outcome<Result>{decode(*answer.frame), std::nullopt});
                    });
}

} // namespace

void correctClock(UnitSession& session, const LocalDateTime& now, int calibration, bool stopClock,
                  bool autoDst, CommandDone done) {
    const Bytes payload =
        encodeClockCorrection(clockCorrectionAt(now, calibration, stopClock, autoDst), now.year);
    oneRequest<Acknowledged>(
        session, kind::Clock, payload, [](const Frame&) { return Acknowledged{}; },
        std::move(done));
}

void resetProtection(UnitSession& session, CommandDone done) {
    oneRequest<Acknowledged>(
        session, kind::ProtectionReset, {}, [](const Frame&) { return Acknowledged{}; },
        std::move(done));
}

void readVersion(UnitSession& session, std::function<void(const Outcome<std::string>&)> done) {
    oneRequest<std::string>(
        session, kind::Version, {},
        [](const Frame& frame) { return decodeVersionText(frame.payload()); }, std::move(done));
}

} // namespace torl7
