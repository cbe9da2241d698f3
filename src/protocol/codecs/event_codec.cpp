#include "protocol/codecs/event_codec.hpp"

#include "protocol/display_format.hpp"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

namespace torl7 {

namespace {

// Record offsets.
enum Offset : std::size_t {
    kOrder = 0,
    kStamp = 1,
    kState = 7,
    kProtection = 8,
    kUa = 9,
    kUb = 11,
    kUc = 13,
    kIa = 15,
    kIb = 17,
    kIc = 19,
    kIdif = 21,
    kCos = 23,
};

// Column 1 of the row.
constexpr std::size_t kDateTimeColumn = 0;
// The text that marks an entry as used or rejected.
constexpr std::string_view kSpentEntry = "0";

std::string onOff(bool on) {
    return on ? "Вкл." : "Выкл.";
}

std::string protectionText(std::uint8_t flags) {
    for (int bit = 7; bit >= 0; --bit) {
        if ((flags >> bit & 1) != 0) {
            return std::string(kProtectionNames[static_cast<std::size_t>(bit)]);
        }
    }
    return {};
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[static_cast<std::size_t>(month - 1)];
}

// Where an event falls in time, read back from its date/time text.
struct EventTime {
    long long moment = 0; // yymmddhhmmss: orders like the time itself within one century
    int tieDigit = 0;     // the 20th character
};

// Reads "dd.mm.yy  hh:mm:ss:N..." as the row texts write it. Nothing when the text is not a
// real date and time or its 20th character is not a digit (a three-digit year pushes a colon
// there).
std::optional<EventTime> readEventTime(std::string_view text) {
    constexpr std::string_view pattern = "dd.mm.yy  hh:mm:ss:N";
    if (text.size() < pattern.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool digitWanted = pattern[i] >= 'a' || pattern[i] == 'N';
        const bool isDigit = text[i] >= '0' && text[i] <= '9';
        if (digitWanted ? !isDigit : text[i] != pattern[i]) {
            return std::nullopt;
        }
    }
    const auto number = [&](std::size_t at) {
        return (text[at] - '0') * 10 + (text[at + 1] - '0');
    };
    const int day = number(0);
    const int month = number(3);
    const int year = 2000 + number(6);
    const int hours = number(10);
    const int minutes = number(13);
    const int seconds = number(16);
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hours > 23 ||
        minutes > 59 || seconds > 59) {
        return std::nullopt;
    }
    const long long date = (year - 2000) * 10000LL + month * 100 + day;
    const long long time = hours * 10000LL + minutes * 100 + seconds;
    return EventTime{date * 1000000 + time, text[19] - '0'};
}

void appendEventRecord(Bytes& out, const EventRecord& r) {
    out.push_back(r.orderDigit & 0x0F);
    appendClockStamp(out, r.stamp);
    out.push_back(r.state);
    out.push_back(r.protection);
    for (std::uint16_t word : {r.uaVolts, r.ubVolts, r.ucVolts, r.iaTenthsAmp, r.ibTenthsAmp,
                               r.icTenthsAmp, r.idifTenthsAmp}) {
        appendWord(out, word); // a 16-bit value always fits
    }
    out.push_back(r.cosByte);
}

EventRecord decodeEventRecordAt(const PayloadReader& in, std::size_t base) {
    EventRecord r;
    r.orderDigit = in.byte(base + kOrder) & 0x0F;
    r.stamp = decodeClockStamp(in, base + kStamp);
    r.state = in.byte(base + kState);
    r.protection = in.byte(base + kProtection);
    r.uaVolts = in.word(base + kUa);
    r.ubVolts = in.word(base + kUb);
    r.ucVolts = in.word(base + kUc);
    r.iaTenthsAmp = in.word(base + kIa);
    r.ibTenthsAmp = in.word(base + kIb);
    r.icTenthsAmp = in.word(base + kIc);
    r.idifTenthsAmp = in.word(base + kIdif);
    r.cosByte = in.byte(base + kCos);
    return r;
}

} // namespace

Bytes encodeEventRecord(const EventRecord& record) {
    Bytes out;
    out.reserve(kEventRecordSize);
    appendEventRecord(out, record);
    return out;
}

EventRecord decodeEventRecord(ByteSpan bytes) {
    return decodeEventRecordAt(PayloadReader(bytes), 0);
}

Bytes erasedEventRecordBytes() {
    return Bytes(kEventRecordSize, 0xFF);
}

Bytes encodeEventBlock(const EventBlock& block) {
    std::array<Bytes, kEventsPerBlock> records;
    std::transform(block.records.begin(), block.records.end(), records.begin(), encodeEventRecord);
    return encodeEventBlockBytes(block.index, records);
}

Bytes encodeEventBlockBytes(std::uint8_t index, const std::array<Bytes, kEventsPerBlock>& records) {
    Bytes out;
    out.reserve(kEventBlockSize);
    out.push_back(index);
    for (const Bytes& record : records) {
        const PayloadReader in(record);
        const Bytes fitted = in.bytes(0, kEventRecordSize);
        out.insert(out.end(), fitted.begin(), fitted.end());
    }
    return out;
}

EventBlock decodeEventBlock(ByteSpan payload) {
    const PayloadReader in(payload);
    EventBlock block;
    block.index = in.byte(0);
    for (std::size_t k = 0; k < kEventsPerBlock; ++k) {
        block.records[k] = decodeEventRecordAt(in, 1 + k * kEventRecordSize);
    }
    return block;
}

EventRow eventRowTexts(const EventRecord& r) {
    const ClockStamp& t = r.stamp;
    return {
        twoDigits(t.day) + "." + twoDigits(t.month) + "." + twoDigits(t.year) + "  " +
            formatClockTime(t) + ":" + std::to_string(r.orderDigit),
        onOff((r.state & 0x80) != 0),
        onOff((r.state & 0x01) != 0),
        protectionText(r.protection),
        std::to_string(r.uaVolts),
        std::to_string(r.ubVolts),
        std::to_string(r.ucVolts),
        formatCurrentTenths(r.iaTenthsAmp),
        formatCurrentTenths(r.ibTenthsAmp),
        formatCurrentTenths(r.icTenthsAmp),
        formatCurrentTenths(r.idifTenthsAmp),
        formatCosF(r.cosByte),
    };
}

std::optional<ClockStamp> realEventTime(const EventRecord& record) {
    if (!readEventTime(eventRowTexts(record)[kDateTimeColumn])) {
        return std::nullopt;
    }
    return record.stamp;
}

bool isEmptyEventSlot(ByteSpan recordBytes) {
    const auto all = [&](std::uint8_t value) {
        return std::all_of(recordBytes.begin(), recordBytes.end(),
                           [value](std::uint8_t b) { return b == value; });
    };
    return all(0xFF) || all(0x00);
}

void EventTable::storeBlock(ByteSpan payload) {
    const EventBlock block = decodeEventBlock(payload);
    if (block.index >= kEventBlocks) {
        return;
    }
    const PayloadReader in(payload);
    for (std::size_t k = 0; k < kEventsPerBlock; ++k) {
        received_[block.index * kEventsPerBlock + k] =
            in.bytes(1 + k * kEventRecordSize, kEventRecordSize);
    }
    storeBlock(block);
}

void EventTable::storeBlock(const EventBlock& block) {
    if (block.index >= kEventBlocks) {
        return;
    }
    for (std::size_t k = 0; k < kEventsPerBlock; ++k) {
        entries_[block.index * kEventsPerBlock + k] = eventRowTexts(block.records[k]);
    }
}

std::vector<EventRow> EventTable::finish() {
    struct Candidate {
        EventTime time;
        std::size_t entry;
    };
    static const EventRow erased = eventRowTexts(decodeEventRecord(erasedEventRecordBytes()));
    std::vector<Candidate> valid;
    leftOut_ = 0;
    for (std::size_t i = 0; i < kEntries; ++i) {
        std::string& dateTime = entries_[i][kDateTimeColumn];
        if (const auto time = readEventTime(dateTime)) {
            valid.push_back({*time, i});
        } else {
            if (!dateTime.empty() && dateTime != kSpentEntry && entries_[i] != erased) {
                ++leftOut_;
            }
            dateTime = kSpentEntry;
        }
    }
    // Stable: events of the same second and digit keep their place in the table.
    std::stable_sort(valid.begin(), valid.end(), [](const Candidate& a, const Candidate& b) {
        if (a.time.moment != b.time.moment) {
            return a.time.moment < b.time.moment;
        }
        return a.time.tieDigit < b.time.tieDigit;
    });
    lastRead_ = std::exchange(received_, EventSlots{});
    std::vector<EventRow> rows;
    rows.reserve(valid.size());
    for (const Candidate& c : valid) {
        rows.push_back(entries_[c.entry]);
        entries_[c.entry][kDateTimeColumn] = kSpentEntry;
    }
    return rows;
}

void EventTable::clear() {
    entries_.fill(EventRow{});
    received_ = {};
    lastRead_ = {};
    leftOut_ = 0;
}

} // namespace torl7
