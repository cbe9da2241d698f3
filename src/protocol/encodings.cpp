#include "protocol/encodings.hpp"

#include <charconv>

namespace torl7 {

std::optional<std::array<std::uint8_t, 2>> encodeWord(std::int64_t value) {
    if (value < 0 || value > kMaxWord) {
        return std::nullopt;
    }
    return std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(value >> 8),
                                       static_cast<std::uint8_t>(value & 0xFF)};
}

bool appendWord(Bytes& out, std::int64_t value) {
    const auto word = encodeWord(value);
    if (!word) {
        return false;
    }
    out.insert(out.end(), word->begin(), word->end());
    return true;
}

std::uint16_t PayloadReader::word(std::size_t offset) const {
    return static_cast<std::uint16_t>(byte(offset) << 8 | byte(offset + 1));
}

std::uint32_t PayloadReader::u24(std::size_t offset) const {
    return std::uint32_t{byte(offset)} << 16 | std::uint32_t{byte(offset + 1)} << 8 |
           byte(offset + 2);
}

std::uint32_t PayloadReader::u32(std::size_t offset) const {
    return std::uint32_t{byte(offset)} << 24 | u24(offset + 1);
}

std::uint64_t PayloadReader::u40(std::size_t offset) const {
    return std::uint64_t{byte(offset)} << 32 | u32(offset + 1);
}

Bytes PayloadReader::bytes(std::size_t offset, std::size_t count) const {
    Bytes out(count);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = byte(offset + i);
    }
    return out;
}

std::uint8_t encodeBcd(int value) {
    return static_cast<std::uint8_t>((value / 10) * 16 + value % 10);
}

int decodeBcd(std::uint8_t byte, BcdField field) {
    const int tens = (byte & static_cast<std::uint8_t>(field)) >> 4;
    return tens * 10 + (byte & 0x0F);
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

namespace {

bool allDigits(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

struct DecimalParts {
    bool negative = false;
    std::string_view whole;
    std::string_view fraction;
};

// Optional sign, digits, optional separator (comma or point) and digits; at least one digit.
std::optional<DecimalParts> splitDecimal(std::string_view text) {
    text = trimBlanks(text);
    DecimalParts parts;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        parts.negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const auto sep = text.find_first_of(",.");
    parts.whole = text.substr(0, sep);
    if (sep != std::string_view::npos) {
        parts.fraction = text.substr(sep + 1);
    }
    if (!allDigits(parts.whole) || !allDigits(parts.fraction) ||
        (parts.whole.empty() && parts.fraction.empty())) {
        return std::nullopt;
    }
    // Longer inputs cannot come from the tool's edits and would overflow the arithmetic.
    if (parts.whole.size() > 15) {
        return std::nullopt;
    }
    return parts;
}

std::int64_t digitsValue(std::string_view digits) {
    std::int64_t value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::optional<std::int64_t> parseTenths(std::string_view text) {
    const auto parts = splitDecimal(text);
    if (!parts) {
        return std::nullopt;
    }
    std::int64_t tenths = digitsValue(parts->whole) * 10;
    if (!parts->fraction.empty()) {
        tenths += parts->fraction.front() - '0';
    }
    return parts->negative ? -tenths : tenths;
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
    const auto parts = splitDecimal(text);
    if (!parts || parts->whole.empty() || text.find_first_of(",.") != std::string_view::npos) {
        return std::nullopt;
    }
    const std::int64_t value = digitsValue(parts->whole);
    return parts->negative ? -value : value;
}

std::optional<double> parseDecimal(std::string_view text) {
    const auto parts = splitDecimal(text);
    if (!parts) {
        return std::nullopt;
    }
    std::string normal(parts->whole.empty() ? "0" : parts->whole);
    if (!parts->fraction.empty()) {
        normal += '.';
        normal += parts->fraction;
    }
    // from_chars, unlike strtod, ignores the C library's locale: a program running in a
    // Russian one would otherwise stop reading "5699.9" at the point.
    double value = 0.0;
    std::from_chars(normal.data(), normal.data() + normal.size(), value);
    return parts->negative ? -value : value;
}

std::array<std::uint8_t, kClockBlockSize> encodeClockBlock(const ClockBlock& clock) {
    return {static_cast<std::uint8_t>(encodeBcd(clock.seconds) | (clock.stopped ? 0x80 : 0)),
            encodeBcd(clock.minutes),
            encodeBcd(clock.hours),
            encodeBcd(clock.weekday),
            encodeBcd(clock.day),
            encodeBcd(clock.month),
            encodeBcd(clock.year)};
}

ClockBlock decodeClockBlock(const PayloadReader& in, std::size_t offset) {
    ClockBlock clock;
    clock.seconds = decodeBcd(in.byte(offset), BcdField::Seconds);
    clock.stopped = (in.byte(offset) & 0x80) != 0;
    clock.minutes = decodeBcd(in.byte(offset + 1), BcdField::Minutes);
    clock.hours = decodeBcd(in.byte(offset + 2), BcdField::Hours);
    clock.weekday = decodeBcd(in.byte(offset + 3), BcdField::Year);
    clock.day = decodeBcd(in.byte(offset + 4), BcdField::Day);
    clock.month = decodeBcd(in.byte(offset + 5), BcdField::Month);
    clock.year = decodeBcd(in.byte(offset + 6), BcdField::Year);
    return clock;
}

std::string formatTenths(std::int64_t tenths) {
    const std::int64_t magnitude = tenths < 0 ? -tenths : tenths;
    std::string text = tenths < 0 ? "-" : "";
    text += std::to_string(magnitude / 10);
    text += ',';
    text += static_cast<char>('0' + magnitude % 10);
    return text;
}

std::string formatTenthsWhole(std::int64_t tenths) {
    const std::int64_t magnitude = tenths < 0 ? -tenths : tenths;
    const std::int64_t whole = (magnitude + 5) / 10;
    return (tenths < 0 && whole != 0 ? "-" : "") + std::to_string(whole);
}

std::string twoDigits(int value) {
    return (value >= 0 && value < 10 ? "0" : "") + std::to_string(value);
}

std::string withoutPadding(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
        text.pop_back();
    }
    return text;
}

} // namespace torl7
