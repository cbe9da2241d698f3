// The one-shot commands: the clock correction (kind 4), the protection reset (kind 5) and the
// firmware version (kind 15). Each sends one request over the open port and ends exactly once:
// with the unit's answer, the port then closed, or with the session's error.
#pragma once

#include "protocol/codecs/clock_codec.hpp"
#include "session/operations/outcome.hpp"

#include <functional>
#include <string>

namespace torl7 {

struct Acknowledged {};
using CommandDone = std::function<void(const Outcome<Acknowledged>&)>;

// Sets the unit's clock to `now` with the clock panel's settings.
void correctClock(UnitSession& session, const LocalDateTime& now, int calibration, bool stopClock,
                  bool autoDst, CommandDone done);
void resetProtection(UnitSession& session, CommandDone done);
// The unit's 16 characters, blanks and all.
void readVersion(UnitSession& session, std::function<void(const Outcome<std::string>&)> done);

} // namespace torl7
