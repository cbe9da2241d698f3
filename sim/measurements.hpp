// What the simulated unit measures: a running motor on a three-phase supply whose values
// drift slowly, with fault conditions that can be provoked so that protections pick up, count
// their delays down and trip. Pure: the time comes in as an argument.
#pragma once

#include "diag/snapshot_codec.hpp"
#include "diag/waveform_codec.hpp"
#include "sim/clock.hpp"
#include "sim/unit_state.hpp"

#include <optional>
#include <string_view>
#include <vector>

namespace torl7::sim {

// A fault condition on the unit's inputs. The first eight are the protections of the status
// snapshot's trip and function flags (bit = the value); the last two are the equipment and
// insulation flags, which are shown as they are, without a delay.
enum class Condition {
    Umin,       // undervoltage
    Umax,       // overvoltage
    Uasm,       // voltage asymmetry
    Ihol,       // no load
    Iasm,       // current asymmetry
    Ivtz,       // thermal overload
    Zakl,       // jam
    Idif,       // leakage current
    Equipment,  // equipment fault
    Insulation, // insulation fault
};

inline constexpr int kConditionCount = 10;

std::string_view conditionName(Condition condition);
std::optional<Condition> conditionByName(std::string_view name);
std::vector<Condition> allConditions();

inline constexpr std::uint16_t conditionBit(Condition condition) {
    return static_cast<std::uint16_t>(1u << static_cast<int>(condition));
}

// The trip delay of a protection, in tenths of a second.
int tripDelayTenths(Condition condition);

// The unit's clock as it reads at `pcNow`: the PC clock plus the correction's offset, or the
// time it was stopped at.
std::chrono::sys_seconds unitClock(const UnitState& state, WallTime pcNow);

// The status snapshot at `pcNow`.
Snapshot snapshotAt(const UnitState& state, WallTime pcNow);

// The samples of phase `phase` (1..3) at `pcNow`: two periods of the phase voltage and
// current around the middle of the byte range, the current lagging by the power factor.
WaveformBlock waveformAt(const UnitState& state, WallTime pcNow, int phase);

} // namespace torl7::sim
