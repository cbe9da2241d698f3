#include "protocol/codecs/accounting_codec.hpp"

#include "protocol/display_format.hpp"

namespace torl7 {

namespace {

enum Offset : std::size_t {
    kRunning = 0,
    kStarts = 4,
    kTrips = 6,
    kEnergy = 8,
    kStart = 13,
};

// Most significant byte first; bits above `width` bytes are not sent.
void appendCounter(Bytes& out, std::uint64_t value, std::size_t width) {
    for (std::size_t i = width; i-- > 0;) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

} // namespace

Bytes encodeAccounting(const AccountingRecord& r) {
    Bytes out;
    out.reserve(kAccountingSize);
    appendCounter(out, r.runningSeconds, 4);
    appendCounter(out, r.starts, 2);
    appendCounter(out, r.trips, 2);
    appendCounter(out, r.energyMillionthsKwh, 5);
    appendClockStamp(out, r.start);
    return out;
}

AccountingRecord decodeAccounting(ByteSpan payload) {
    const PayloadReader in(payload);
    AccountingRecord r;
    r.runningSeconds = in.u32(kRunning);
    r.starts = in.word(kStarts);
    r.trips = in.word(kTrips);
    r.energyMillionthsKwh = in.u40(kEnergy);
    r.start = decodeClockStamp(in, kStart);
    return r;
}

AccountingTexts formatAccounting(const AccountingRecord& r) {
    const ClockStamp& s = r.start;
    AccountingTexts t;
    t.start = twoDigits(s.day) + "." + twoDigits(s.month) + ".20" + twoDigits(s.year) + "г/" +
              formatClockTime(s);
    t.runningTime = formatRunningTime(r.runningSeconds);
    t.starts = std::to_string(r.starts);
    t.trips = std::to_string(r.trips);
    t.energy = formatAccountingEnergy(r.energyMillionthsKwh);
    return t;
}

} // namespace torl7
