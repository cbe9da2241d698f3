// The unit's event protocol: 100 record slots as the unit stores them, handed out ten to a
// block. Slots hold raw record bytes, so erased slots (all 0xFF) and records with impossible
// dates can be kept and sent exactly as a unit would.
#pragma once

#include "protocol/codecs/event_codec.hpp"

#include <array>
#include <string>
#include <string_view>
#include <variant>

namespace torl7::sim {

class EventProtocol {
public:
    static constexpr std::size_t kSlots = kEventBlocks * kEventsPerBlock;

    // Every slot erased.
    EventProtocol();

    // What a unit in service holds: valid records out of time order, two of them in the same
    // second with different order digits and two with the same digit, one with an impossible
    // date, one all zero, and the rest erased.
    static EventProtocol sample();

    // One line per slot, from slot 1 on; at most 100. Blank lines and lines starting with '#'
    // are skipped. A line is one of:
    //   erased                        the slot holds 24 bytes of 0xFF
    //   24 hex bytes                  the record bytes as they are, e.g. "03 45 30 14 ..."
    //   DD.MM.YY HH:MM:SS N STATE PROTECTION UA UB UC IA IB IC IDIF COS
    //                                 a readable record: order digit N (0..15), state and
    //                                 protection flags as hex bytes, voltages in V, currents
    //                                 in A (comma or point), cos f from -1 to 1
    // Slots not given are erased. The error names the line.
    static std::variant<EventProtocol, std::string> parse(std::string_view text);

    // The payload of event block `index` (0..9).
    Bytes block(std::uint8_t index) const;

    // A new event goes into the first erased slot; when none is left it overwrites the
    // oldest slot written by the unit, round the ring.
    void append(const EventRecord& record);

    const Bytes& slot(std::size_t index) const { return slots_.at(index); }

private:
    std::array<Bytes, kSlots> slots_;
    std::size_t ringNext_ = 0;
};

} // namespace torl7::sim
