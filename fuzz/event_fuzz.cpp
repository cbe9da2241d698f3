// The event block decoder and the event table against any sequence of answers: blocks survive
// encoding, every row text is well formed, and the table hands out exactly the stored records
// that are real dates and times, in time order, once.
#include "fuzz_target.hpp"
#include "number_text.hpp"

#include "protocol/codecs/event_codec.hpp"

#include <algorithm>
#include <optional>
#include <tuple>

using namespace torl7;
using namespace torl7::fuzzing;

namespace {

// Worked out from the record's fields, not from its text.
bool isRealMoment(const ClockStamp& s) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (s.year > 99 || s.month < 1 || s.month > 12 || s.day < 1 || s.hours > 23 || s.minutes > 59 ||
        s.seconds > 59) {
        return false;
    }
    const bool leap = s.year % 4 == 0; // 2000..2099
    return s.day <= days[s.month - 1] + (s.month == 2 && leap ? 1 : 0);
}

bool earlier(const EventRecord& a, const EventRecord& b) {
    const auto key = [](const EventRecord& r) {
        const ClockStamp& s = r.stamp;
        const int tieDigit = r.orderDigit >= 10 ? 1 : r.orderDigit; // first digit of its text
        return std::tuple(s.year, s.month, s.day, s.hours, s.minutes, s.seconds, tieDigit);
    };
    return key(a) < key(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    EventTable table;
    // What each table entry should show: the record last stored there and its row.
    std::array<std::optional<std::pair<EventRecord, EventRow>>, EventTable::kEntries> stored;

    for (std::size_t at = 0; at < size; at += kEventBlockSize) {
        const ByteSpan payload(data + at, std::min(kEventBlockSize, size - at));
        const EventBlock block = decodeEventBlock(payload);
        const Bytes bytes = encodeEventBlock(block);
        FUZZ_CHECK(bytes.size() == kEventBlockSize);
        FUZZ_CHECK(decodeEventBlock(bytes) == block);
        FUZZ_CHECK(encodeEventBlock(decodeEventBlock(bytes)) == bytes);

        std::array<EventRow, kEventsPerBlock> rows;
        for (std::size_t k = 0; k < kEventsPerBlock; ++k) {
            const EventRecord& record = block.records[k];
            const EventRow& row = rows[k] = eventRowTexts(record);
            FUZZ_CHECK(row[0].size() >= 20);
            FUZZ_CHECK(row[1] == "Вкл." || row[1] == "Выкл.");
            FUZZ_CHECK(row[2] == "Вкл." || row[2] == "Выкл.");
            FUZZ_CHECK(row[3].empty() == (record.protection == 0));
            for (std::size_t column = 4; column <= 6; ++column) {
                FUZZ_CHECK(isNumberText(row[column], 1, 0));
            }
            for (std::size_t column = 7; column <= 10; ++column) {
                FUZZ_CHECK(isCurrentText(row[column]));
            }
            FUZZ_CHECK(isNumberText(row[11], 1, 2) && row[11] != "-0,00");
        }

        table.storeBlock(block);
        if (block.index < kEventBlocks) {
            for (std::size_t k = 0; k < kEventsPerBlock; ++k) {
                stored[block.index * kEventsPerBlock + k].emplace(block.records[k], rows[k]);
            }
        }
    }

    std::vector<const std::pair<EventRecord, EventRow>*> expected;
    for (const auto& entry : stored) {
        if (entry && isRealMoment(entry->first.stamp)) {
            expected.push_back(&*entry);
        }
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto* a, const auto* b) { return earlier(a->first, b->first); });

    const std::vector<EventRow> rows = table.finish();
    FUZZ_CHECK(rows.size() == expected.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        FUZZ_CHECK(rows[r] == expected[r]->second);
    }
    FUZZ_CHECK(table.finish().empty());
    return 0;
}

std::vector<std::vector<std::uint8_t>> fuzzSeeds() {
    const Bytes worked{0x03, 0x45, 0x30, 0x14, 0x05, 0x03, 0x16, 0x81, 0x20, 0x00, 0xDC, 0x00,
                       0xDD, 0x00, 0xDE, 0x00, 0x7B, 0x00, 0x7C, 0x03, 0xE8, 0x00, 0x05, 0xD5};
    // Block 0: variants of the worked record, three of them in the same second (one with
    // order digit 12), and one erased record.
    Bytes first{0x00};
    for (int k = 0; k < 10; ++k) {
        Bytes record = k == 3 ? Bytes(24, 0xFF) : worked;
        record[0] = static_cast<std::uint8_t>(k == 1 ? 0x0C : k);
        record[1] = static_cast<std::uint8_t>(k < 3 ? 0x45 : 0x10 * (k % 6) + k);
        first.insert(first.end(), record.begin(), record.end());
    }
    // Block 9 with a leap day first.
    Bytes last = first;
    last[0] = 0x09;
    last[1 + 4] = 0x29;
    last[1 + 5] = 0x02;
    return {first, last, Bytes(kEventBlockSize, 0xFF), Bytes(kEventBlockSize, 0x00), worked};
}
