// The accounting record: what the unit has counted for the supervised equipment since the
// start of accounting. The answer to both the read and the reset. Pure: no Qt.
#pragma once

#include "protocol/clock_stamp.hpp"

#include <cstdint>
#include <string>

namespace torl7 {

inline constexpr std::size_t kAccountingSize = 19;

struct AccountingRecord {
    std::uint32_t runningSeconds = 0;
    std::uint16_t starts = 0;              // equipment starts
    std::uint16_t trips = 0;               // protection trips
    std::uint64_t energyMillionthsKwh = 0; // 40-bit counter; higher bits are not sent
    ClockStamp start;                      // start of accounting, decoded with the masks

    bool operator==(const AccountingRecord&) const = default;
};

// 19 bytes: running time (4), starts (2), trips (2), energy (5), start stamp seconds to year.
Bytes encodeAccounting(const AccountingRecord& record);

// Reads the fixed offsets whatever the length; bytes the answer did not reach read as 0.
AccountingRecord decodeAccounting(ByteSpan payload);

// The accounting record as the "Протокол" tab shows it, one text a value.
struct AccountingTexts {
    std::string start;       // start of accounting: dd.mm.20yyг/hh:mm:ss
    std::string runningTime; // hhhhh:mm:ss
    std::string starts;
    std::string trips;
    std::string energy; // kWh, one decimal

    bool operator==(const AccountingTexts&) const = default;
};

AccountingTexts formatAccounting(const AccountingRecord& record);

} // namespace torl7
