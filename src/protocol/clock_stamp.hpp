// The unit's date-and-time fields as it keeps them in its records: BCD bytes whose tens digit
// sits under a per-field mask. Shared by the status snapshot, the event records and the
// accounting record. Pure: no Qt.
#pragma once

#include "protocol/encodings.hpp"

#include <string>

namespace torl7 {

// Each field as decoded with its mask, without a range check: a byte outside BCD gives a
// number above the calendar range (up to 85 for seconds, 165 for the year), which the
// display shows and the event validation rejects.
struct ClockStamp {
    int seconds = 0;
    int minutes = 0;
    int hours = 0;
    int day = 0;
    int month = 0;
    int year = 0; // within the century; shown after "20"

    bool operator==(const ClockStamp&) const = default;
};

// Largest value a field can decode to: the masked tens digit at its top and the units
// nibble at 15.
int maxBcdFieldValue(BcdField field);

// The byte that decodes to `value` under the mask of `field`. Values 0..99 whose tens digit
// fits the mask get the plain BCD byte; larger decodable values (a tens or units nibble above
// 9, as a faulty or erased record carries) get a byte that decodes to the same number, so
// every decoded record can be sent again unchanged in meaning. Values outside
// 0..maxBcdFieldValue are clamped to that range.
std::uint8_t encodeBcdField(int value, BcdField field);

// Six consecutive bytes: seconds, minutes, hours, day of month, month, year. Bit 7 of the
// seconds is not part of the value.
inline constexpr std::size_t kClockStampSize = 6;
ClockStamp decodeClockStamp(const PayloadReader& in, std::size_t offset);
void appendClockStamp(Bytes& out, const ClockStamp& stamp);

// "hh:mm:ss", each field with at least two digits.
std::string formatClockTime(const ClockStamp& stamp);

} // namespace torl7
