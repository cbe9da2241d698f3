// A clock correction or a protection reset whose acknowledgement did not come may still have
// been carried out: the unit did it and its answer was lost on the way back. The status
// snapshot read right after tells what the unit now shows. Pure: no Qt.
#pragma once

#include "protocol/codecs/clock_codec.hpp"
#include "protocol/codecs/snapshot_codec.hpp"

#include <cstdint>
#include <optional>

namespace torl7 {

// The unit's clock as the snapshot shows it, less the PC's time `pcNow`, in seconds; nothing
// when the unit's clock is no calendar date (a faulty or unset clock).
std::optional<std::int64_t> clockOffsetSeconds(const ClockStamp& unitClock,
                                               const LocalDateTime& pcNow);

// The unit's clock agrees with the PC's within this: a correction was taken (the snapshot is
// read a moment after the PC's time is taken, and the unit counts whole seconds).
inline constexpr std::int64_t kClockAgreementSeconds = 2;

enum class ClockFinding {
    ShowsPcTime, // the correction was taken (or the clock was right already)
    Differs,     // the correction was not taken
    NoDate,      // the unit's clock shows no date: nothing can be told
};
ClockFinding clockAfterCorrection(const ClockStamp& unitClock, const LocalDateTime& pcNow);

// After a protection reset: no protection shows as tripped any more.
bool protectionClear(const Snapshot& snapshot);

} // namespace torl7
