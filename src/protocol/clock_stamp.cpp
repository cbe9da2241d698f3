#include "protocol/clock_stamp.hpp"

#include <algorithm>

namespace torl7 {

int maxBcdFieldValue(BcdField field) {
    return (static_cast<int>(field) >> 4) * 10 + 15;
}

std::uint8_t encodeBcdField(int value, BcdField field) {
    value = std::clamp(value, 0, maxBcdFieldValue(field));
    const int maxTens = static_cast<int>(field) >> 4;
    if (value / 10 <= maxTens) {
        return encodeBcd(value);
    }
    const int units = value - maxTens * 10; // 10..15 here, by the clamp above
    return static_cast<std::uint8_t>(maxTens << 4 | units);
}

ClockStamp decodeClockStamp(const PayloadReader& in, std::size_t offset) {
    ClockStamp stamp;
    stamp.seconds = decodeBcd(in.byte(offset), BcdField::Seconds);
    stamp.minutes = decodeBcd(in.byte(offset + 1), BcdField::Minutes);
    stamp.hours = decodeBcd(in.byte(offset + 2), BcdField::Hours);
    stamp.day = decodeBcd(in.byte(offset + 3), BcdField::Day);
    stamp.month = decodeBcd(in.byte(offset + 4), BcdField::Month);
    stamp.year = decodeBcd(in.byte(offset + 5), BcdField::Year);
    return stamp;
}

void appendClockStamp(Bytes& out, const ClockStamp& stamp) {
    out.push_back(encodeBcdField(stamp.seconds, BcdField::Seconds));
    out.push_back(encodeBcdField(stamp.minutes, BcdField::Minutes));
    out.push_back(encodeBcdField(stamp.hours, BcdField::Hours));
    out.push_back(encodeBcdField(stamp.day, BcdField::Day));
    out.push_back(encodeBcdField(stamp.month, BcdField::Month));
    out.push_back(encodeBcdField(stamp.year, BcdField::Year));
}

std::string formatClockTime(const ClockStamp& stamp) {
    return twoDigits(stamp.hours) + ":" + twoDigits(stamp.minutes) + ":" + twoDigits(stamp.seconds);
}

} // namespace torl7
