#include "sim/event_protocol.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

namespace torl7::sim {

namespace {

std::uint8_t cosByte(double cosF) {
    const int hundredths = static_cast<int>(std::lround(std::fabs(cosF) * 100.0));
    return static_cast<std::uint8_t>(std::min(hundredths, 127) | (cosF >= 0.0 ? 0x80 : 0));
}

EventRecord sampleRecord(int day, int month, int year, int hours, int minutes, int seconds,
                         std::uint8_t order, std::uint8_t protection) {
    EventRecord record;
    record.orderDigit = order;
    record.stamp = ClockStamp{seconds, minutes, hours, day, month, year};
    record.state = 0x81;
    record.protection = protection;
    record.uaVolts = static_cast<std::uint16_t>(225 + (day + seconds) % 9);
    record.ubVolts = static_cast<std::uint16_t>(226 + (month + minutes) % 7);
    record.ucVolts = static_cast<std::uint16_t>(224 + (hours + seconds) % 8);
    record.iaTenthsAmp = static_cast<std::uint16_t>(118 + (day * 7) % 15);
    record.ibTenthsAmp = static_cast<std::uint16_t>(117 + (month * 5) % 13);
    record.icTenthsAmp = static_cast<std::uint16_t>(119 + (hours * 3) % 11);
    record.idifTenthsAmp = protection & 0x80 ? 25 : 3;
    record.cosByte = cosByte(0.80 + (seconds % 8) / 100.0);
    if (protection & 0x20) { // overload: currents one and a half times the rated 15 A
        record.iaTenthsAmp = record.ibTenthsAmp = record.icTenthsAmp = 225;
    }
    if (protection & 0x01) { // undervoltage
        record.uaVolts = record.ubVolts = record.ucVolts = 140;
    }
    return record;
}

// Splits at blanks and tabs.
std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    std::istringstream in{std::string(line)};
    for (std::string word; in >> word;) {
        out.push_back(word);
    }
    return out;
}

std::optional<std::uint8_t> hexByte(const std::string& text) {
    if (text.empty() || text.size() > 2 || !std::ranges::all_of(text, [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c));
        })) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(std::stoi(text, nullptr, 16));
}

// "A.B.C" or "A:B:C" as three numbers 0..99.
std::optional<std::array<int, 3>> triple(const std::string& text, char separator) {
    std::array<int, 3> parts{};
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t end = i < 2 ? text.find(separator, start) : text.size();
        if (end == std::string::npos) {
            return std::nullopt;
        }
        const auto value = parseInteger(text.substr(start, end - start));
        if (!value || *value < 0 || *value > 99 || end == start) {
            return std::nullopt;
        }
        parts[static_cast<std::size_t>(i)] = static_cast<int>(*value);
        start = end + 1;
    }
    return parts;
}

std::optional<std::uint16_t> tenths(const std::string& text) {
    const auto value = parseTenths(text);
    if (!value || *value < 0 || *value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*value);
}

std::optional<std::uint16_t> volts(const std::string& text) {
    const auto value = parseInteger(text);
    if (!value || *value < 0 || *value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*value);
}

std::optional<EventRecord> readableRecord(const std::vector<std::string>& w) {
    if (w.size() != 13) {
        return std::nullopt;
    }
    const auto date = triple(w[0], '.');
    const auto time = triple(w[1], ':');
    const auto order = parseInteger(w[2]);
    const auto state = hexByte(w[3]);
    const auto protection = hexByte(w[4]);
    const auto cosF = parseDecimal(w[12]);
    if (!date || !time || !order || *order < 0 || *order > 15 || !state || !protection || !cosF ||
        *cosF < -1.0 || *cosF > 1.0) {
        return std::nullopt;
    }
    EventRecord record;
    record.orderDigit = static_cast<std::uint8_t>(*order);
    record.stamp =
        ClockStamp{(*time)[2], (*time)[1], (*time)[0], (*date)[0], (*date)[1], (*date)[2]};
    record.state = *state;
    record.protection = *protection;
    const std::array<std::optional<std::uint16_t>, 7> values{
        volts(w[5]),  volts(w[6]),   volts(w[7]),  tenths(w[8]),
        tenths(w[9]), tenths(w[10]), tenths(w[11])};
    if (!std::ranges::all_of(values, [](const auto& v) { return v.has_value(); })) {
        return std::nullopt;
    }
    record.uaVolts = *values[0];
    record.ubVolts = *values[1];
    record.ucVolts = *values[2];
    record.iaTenthsAmp = *values[3];
    record.ibTenthsAmp = *values[4];
    record.icTenthsAmp = *values[5];
    record.idifTenthsAmp = *values[6];
    record.cosByte = cosByte(*cosF);
    return record;
}

} // namespace

EventProtocol::EventProtocol() {
    slots_.fill(erasedEventRecordBytes());
}

EventProtocol EventProtocol::sample() {
    EventProtocol protocol;
    // Slot order is the order the unit wrote them in a ring that has wrapped, so time order
    // differs from slot order.
    const std::vector<EventRecord> records{
        sampleRecord(14, 11, 25, 9, 12, 5, 0, 0x20),
        sampleRecord(2, 12, 25, 17, 40, 31, 0, 0x01),
        sampleRecord(20, 12, 25, 6, 3, 58, 1, 0x10),
        sampleRecord(20, 12, 25, 6, 3, 58, 0, 0x04), // same second, lower digit: shown first
        sampleRecord(9, 1, 26, 22, 15, 0, 0, 0x80),
        sampleRecord(3, 2, 26, 11, 30, 45, 2, 0x40),
        sampleRecord(3, 2, 26, 11, 30, 45, 2, 0x08), // same second and digit: slot order
        sampleRecord(28, 2, 26, 23, 59, 59, 0, 0x02),
        sampleRecord(1, 3, 26, 0, 0, 0, 0, 0x21),
        sampleRecord(15, 4, 26, 13, 45, 10, 12, 0x20), // order digit 12 ties as 1
        sampleRecord(5, 5, 26, 8, 20, 33, 0, 0x00),
        sampleRecord(30, 6, 26, 19, 5, 7, 0, 0x10),
        sampleRecord(21, 7, 26, 7, 50, 12, 0, 0x20),
        sampleRecord(11, 8, 26, 15, 22, 48, 0, 0x01),
        sampleRecord(5, 9, 25, 10, 10, 10, 0, 0x20),
        sampleRecord(17, 9, 25, 14, 0, 1, 0, 0x80),
        sampleRecord(8, 10, 25, 3, 33, 3, 0, 0x04),
        sampleRecord(31, 10, 25, 12, 0, 0, 0, 0x40),
    };
    for (const EventRecord& record : records) {
        protocol.append(record);
    }
    // A date the calendar lacks, and a record of zeros: both written, neither shown.
    protocol.slots_[20] = encodeEventRecord(sampleRecord(31, 2, 26, 10, 0, 0, 0, 0x20));
    protocol.slots_[21] = Bytes(kEventRecordSize, 0x00);
    return protocol;
}

std::variant<EventProtocol, std::string> EventProtocol::parse(std::string_view text) {
    EventProtocol protocol;
    std::size_t slot = 0;
    std::size_t lineNumber = 0;
    std::istringstream in{std::string(text)};
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        const auto w = words(line);
        if (w.empty() || w[0].starts_with('#')) {
            continue;
        }
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        if (slot == kSlots) {
            return where + "more than 100 records";
        }
        if (w.size() == 1 && w[0] == "erased") {
            protocol.slots_[slot++] = erasedEventRecordBytes();
        } else if (w.size() == kEventRecordSize) {
            Bytes bytes;
            for (const auto& word : w) {
                const auto b = hexByte(word);
                if (!b) {
                    return where + "\"" + word + "\" is not a hex byte";
                }
                bytes.push_back(*b);
            }
            protocol.slots_[slot++] = bytes;
        } else if (const auto record = readableRecord(w)) {
            protocol.slots_[slot++] = encodeEventRecord(*record);
        } else {
            return where + "not a record (erased, 24 hex bytes, or DD.MM.YY HH:MM:SS N STATE "
                           "PROTECTION UA UB UC IA IB IC IDIF COS)";
        }
    }
    protocol.ringNext_ = slot % kSlots;
    return protocol;
}

Bytes EventProtocol::block(std::uint8_t index) const {
    std::array<Bytes, kEventsPerBlock> records;
    for (std::size_t k = 0; k < kEventsPerBlock; ++k) {
        records[k] = slots_.at(index * kEventsPerBlock + k);
    }
    return encodeEventBlockBytes(index, records);
}

void EventProtocol::append(const EventRecord& record) {
    const Bytes erased = erasedEventRecordBytes();
    const auto free = std::ranges::find(slots_, erased);
    std::size_t slot = 0;
    if (free != slots_.end()) {
        slot = static_cast<std::size_t>(free - slots_.begin());
    } else {
        slot = ringNext_;
    }
    slots_[slot] = encodeEventRecord(record);
    ringNext_ = (slot + 1) % kSlots;
}

} // namespace torl7::sim
