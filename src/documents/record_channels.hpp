// Which channels of a COMTRADE record are the voltages and currents of phases A, B and C, and
// the record's samples as the analysis takes them. A record written by this tool names its
// channels Ua .. Ic; another device's record is mapped by the user (the window's dialog, the
// client's --map) starting from a guess by name, phase and unit. Pure, no Qt.
#pragma once

#include "documents/comtrade_reader.hpp"
#include "protocol/waveform_analysis.hpp"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torl7 {

// The six roles in the order Ua, Ub, Uc, Ia, Ib, Ic, as the chart's series and the map's names.
inline constexpr std::array<const char*, 6> kRoleNames = {"Ua", "Ub", "Uc", "Ia", "Ib", "Ic"};

// For each role the index of its analog channel in the record (0-based), or nothing.
using ChannelMap = std::array<std::optional<std::size_t>, 6>;

// Ua .. Ic by channel name first (any case), then by the phase letter (A, B, C or L1, L2, L3)
// and the unit (V, kV for voltages; A, kA for currents); a channel is used once.
ChannelMap guessChannelMap(const ComtradeRecord& record);

// "Ua=1,Ia=4,..." with a channel's number (as its line says) or its name; roles not given stay
// unmapped. Nothing, with the reason in `error`, for an unknown role or channel.
std::optional<ChannelMap> parseChannelMap(std::string_view text, const ComtradeRecord& record,
                                          std::string& error);

// True when at least one phase has both its voltage and its current.
bool mapsAPhase(const ChannelMap& map);

// The phases the map names, with the raw stored values (a missing value holds the one before
// it) and what one step stands for where the channel's unit is V, kV, A or kA (a * step, in V
// or A); a channel in "raw" or another unit has no scale.
std::vector<PhaseWaves> recordPhaseWaves(const ComtradeRecord& record, const ChannelMap& map);

// How flat is too flat: 8 steps of an integer record; a FLOAT32 record has no steps, so there
// a channel swinging less than 1/32 of the widest of the set.
AnalysisOptions recordAnalysisOptions(const ComtradeRecord& record,
                                      const std::vector<PhaseWaves>& phases);

} // namespace torl7
