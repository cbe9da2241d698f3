// The unit's event protocol: 24-byte event records, blocks of ten, the twelve display texts of
// a grid row, and the table that gathers the ten blocks of a read and orders the valid events
// by time. Pure: no Qt.
#pragma once

#include "protocol/clock_stamp.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torl7 {

inline constexpr std::size_t kEventRecordSize = 24;
inline constexpr std::size_t kEventsPerBlock = 10;
inline constexpr std::size_t kEventBlocks = 10;
inline constexpr std::size_t kEventBlockSize = 1 + kEventsPerBlock * kEventRecordSize; // 241

// One event as the unit stores it; the time stamp fields are decoded with their masks and
// not range-checked (an erased record of 0xFF bytes reads as day 45, year 165 and so on).
struct EventRecord {
    std::uint8_t orderDigit = 0; // bits 3..0 of byte 0: orders events of the same second
    ClockStamp stamp;
    std::uint8_t state = 0;      // bit 7: the relay unit on; bit 0: the equipment on
    std::uint8_t protection = 0; // one bit per protection that acted
    std::uint16_t uaVolts = 0;
    std::uint16_t ubVolts = 0;
    std::uint16_t ucVolts = 0;
    std::uint16_t iaTenthsAmp = 0;
    std::uint16_t ibTenthsAmp = 0;
    std::uint16_t icTenthsAmp = 0;
    std::uint16_t idifTenthsAmp = 0; // leakage current
    std::uint8_t cosByte = 0;        // bits 6..0 hundredths, bit 7 set for positive

    bool operator==(const EventRecord&) const = default;
};

// The 24 record bytes. The order digit is sent in bits 3..0 (values above 15 keep their low
// four bits); stamp fields beyond what a byte can carry are clamped.
Bytes encodeEventRecord(const EventRecord& record);
EventRecord decodeEventRecord(ByteSpan bytes);

// A record the unit has erased, or never written: 24 bytes of 0xFF. No time stamp it can
// carry is a real date, so the read leaves it out.
Bytes erasedEventRecordBytes();

struct EventBlock {
    std::uint8_t index = 0; // 0..9: the block's place in the protocol
    std::array<EventRecord, kEventsPerBlock> records{};

    bool operator==(const EventBlock&) const = default;
};

// 241 bytes: the index, then the ten records.
Bytes encodeEventBlock(const EventBlock& block);

// A block from already encoded records, as the unit keeps them; each record is cut or
// zero-filled to 24 bytes. This is how erased records are sent.
Bytes encodeEventBlockBytes(std::uint8_t index, const std::array<Bytes, kEventsPerBlock>& records);

// Reads the fixed offsets whatever the length; records the answer did not reach read as 0.
EventBlock decodeEventBlock(ByteSpan payload);

// The protections of an event's protection byte, by bit, lowest first; the grid names the
// highest bit set.
inline constexpr std::array<std::string_view, 8> kProtectionNames = {
    "Umin", "Umax", "Uасм", "Iхол", "Iасм", "Перегруз", "Заклинивание", "Утечка тока",
};

// Grid columns 1..12: date/time "dd.mm.yy  hh:mm:ss:N", unit state, equipment state,
// protection, Ua, Ub, Uc, Ia, Ib, Ic, leakage current, cos f.
using EventRow = std::array<std::string, 12>;
EventRow eventRowTexts(const EventRecord& record);

// The record's time stamp when it is a real date and time by the rule the read orders by
// (2000 + yy, hours 0..23, minutes and seconds 0..59); nothing otherwise.
std::optional<ClockStamp> realEventTime(const EventRecord& record);

// A slot the unit has not written: its 24 bytes all 0xFF (erased) or all zero.
bool isEmptyEventSlot(ByteSpan recordBytes);

// The record bytes of the unit's hundred slots as one read received them, slot 0 first; a
// slot whose block the read did not receive is empty.
using EventSlots = std::array<Bytes, kEventBlocks * kEventsPerBlock>;

// Gathers the hundred events of a read, block by block, and hands out the valid ones in time
// order. The table lives across reads: an entry keeps its texts until a later block rewrites
// it, and `finish` marks every entry it has used or rejected, so an event shown once is never
// shown again unless the unit sends it again.
class EventTable {
public:
    static constexpr std::size_t kEntries = kEventBlocks * kEventsPerBlock;

    // Stores the ten records of the block at entries index * 10 .. index * 10 + 9. A block
    // with an index above 9 has no place in the table and stores nothing.
    void storeBlock(const EventBlock& block);
    // The same from the answer's payload, keeping each record's bytes as the unit sent them.
    void storeBlock(ByteSpan payload);

    // Ends the read: drops every entry whose date/time text is not a real date and time
    // (2000 + yy, hours 0..23, minutes and seconds 0..59) followed by a digit as its 20th
    // character, and returns the others ordered by time, then by that digit, then by their
    // place in the table. Afterwards no entry is left to show.
    std::vector<EventRow> finish();
    // How many records the last finish left out that the unit had written: neither erased
    // (all bytes 0xFF) nor shown before, but with no real date and time (an impossible date,
    // or digits that are not BCD).
    std::size_t leftOut() const { return leftOut_; }
    // The record bytes the blocks stored since the finish before the last one received, by
    // slot: what the unit held when it was last read, for keeping as it was sent.
    const EventSlots& lastReadSlots() const { return lastRead_; }

    // Forgets every entry, as if nothing had ever been read.
    void clear();

private:
    std::array<EventRow, kEntries> entries_; // empty texts at first
    EventSlots received_;
    EventSlots lastRead_;
    std::size_t leftOut_ = 0;
};

} // namespace torl7
