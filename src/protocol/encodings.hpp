// Field encodings shared by every payload of the unit's protocol.
// Pure: no Qt, no I/O. Values the unit sends are untrusted; every decoder is total.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torl7 {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

// Largest value a word field can carry. The unit has no wider field; a value outside
// 0..kMaxWord is refused before sending, never truncated.
inline constexpr std::int64_t kMaxWord = 65535;

// Big-endian unsigned 16-bit word, or nothing when the value does not fit.
std::optional<std::array<std::uint8_t, 2>> encodeWord(std::int64_t value);

// Appends a word; returns false (and appends nothing) when the value does not fit.
bool appendWord(Bytes& out, std::int64_t value);

// Reads fixed-offset fields of a received payload. The unit's payloads are read at fixed
// offsets whatever their announced length, and the receive area is zeroed before every
// request, so a position the answer did not reach reads as 0.
class PayloadReader {
public:
    explicit PayloadReader(ByteSpan payload) : payload_(payload) {}

    std::uint8_t byte(std::size_t offset) const {
        return offset < payload_.size() ? payload_[offset] : 0;
    }
    std::uint16_t word(std::size_t offset) const;
    std::uint32_t u24(std::size_t offset) const;
    std::uint32_t u32(std::size_t offset) const;
    std::uint64_t u40(std::size_t offset) const;
    // `count` bytes starting at `offset`, zero-filled past the end.
    Bytes bytes(std::size_t offset, std::size_t count) const;
    std::size_t size() const { return payload_.size(); }

private:
    ByteSpan payload_;
};

// A text of the unit's fixed-width fields without the padding after it: the unit pads with
// blanks, and positions a short answer did not reach read as zero bytes.
std::string withoutPadding(std::string text);

// Which bits of a received BCD byte hold the tens digit. The other high bits carry flags
// (the clock-stop bit of the seconds) or are noise the unit leaves there.
enum class BcdField : std::uint8_t {
    Seconds = 0x70,
    Minutes = 0x70,
    Hours = 0x30,
    Day = 0x30,
    Month = 0x10,
    Year = 0xF0,
};

// (v div 10) * 16 + (v mod 10); meant for 0..99.
std::uint8_t encodeBcd(int value);

// Tens digit from the masked bits, units nibble taken whole (0..15): no range check, so a
// byte outside BCD still gives a number the caller can show or reject.
int decodeBcd(std::uint8_t byte, BcdField field);

// A decimal number typed by the user as tenths, truncated toward zero ("0,39" -> 3,
// "-2.5" -> -25). Accepts the comma and the point as decimal separator and blanks around
// the number. Nothing for a text that is not a plain decimal number.
std::optional<std::int64_t> parseTenths(std::string_view text);

// The text without the blanks and tabs around it.
std::string_view trimBlanks(std::string_view text);

// Strict integer: optional sign and decimal digits, blanks around allowed.
std::optional<std::int64_t> parseInteger(std::string_view text);

// Strict decimal number with the comma or the point as separator.
std::optional<double> parseDecimal(std::string_view text);

// The seven clock registers as the unit keeps them: seconds, minutes, hours, day of the
// week, day of month, month, year within the century. Bit 7 of the seconds stops the clock.
struct ClockBlock {
    int seconds = 0;
    int minutes = 0;
    int hours = 0;
    int weekday = 1; // 1 = Sunday ... 7 = Saturday
    int day = 1;
    int month = 1;
    int year = 0; // within the century
    bool stopped = false;

    bool operator==(const ClockBlock&) const = default;
};

inline constexpr std::size_t kClockBlockSize = 7;

std::array<std::uint8_t, kClockBlockSize> encodeClockBlock(const ClockBlock& clock);

// Decodes with the per-field masks; the day of the week is taken as its plain BCD value.
ClockBlock decodeClockBlock(const PayloadReader& in, std::size_t offset);

// Numbers as the tool shows them: the comma is the decimal separator whatever the locale.
// `tenths` / 10 with exactly one decimal ("0.0" pattern): 125 -> "12,5", -5 -> "-0,5".
std::string formatTenths(std::int64_t tenths);

// `tenths` / 10 rounded half away from zero to a whole number ("0." pattern): 1005 -> "101".
std::string formatTenthsWhole(std::int64_t tenths);

// Two digits with a leading zero below 10; larger values in plain decimal.
std::string twoDigits(int value);

} // namespace torl7
