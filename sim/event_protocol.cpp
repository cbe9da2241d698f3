#include "sim/event_protocol.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

namespace torl7::sim {

namespace {

using namespace std::chrono;

constexpr std::uint8_t kUnitOn = 0x80;
constexpr std::uint8_t kEquipmentOn = 0x01;
constexpr std::uint8_t kPowerFactorPositive = 0x80;

ClockStamp stampOf(sys_seconds time) {
    const auto day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss clock(time - day);
    return ClockStamp{static_cast<int>(clock.seconds().count()),
                      static_cast<int>(clock.minutes().count()),
                      static_cast<int>(clock.hours().count()),
                      static_cast<int>(static_cast<unsigned>(date.day())),
                      static_cast<int>(static_cast<unsigned>(date.month())),
                      static_cast<int>(date.year()) % 100};
}

// Measurements of one event: the equipment running near 230 V and 12 A, more current when a
// current protection acted.
EventRecord measured(std::minstd_rand& rng, std::uint8_t protection) {
    const auto within = [&](int low, int high) {
        return static_cast<std::uint16_t>(low + static_cast<int>(rng() % (high - low + 1)));
    };
    EventRecord r;
    r.uaVolts = within(221, 236);
    r.ubVolts = within(221, 236);
    r.ucVolts = within(221, 236);
    const bool overcurrent = (protection & 0x60) != 0; // overload, locked rotor
    const int low = overcurrent ? 260 : 95;
    const int high = overcurrent ? 420 : 140;
    r.iaTenthsAmp = within(low, high);
    r.ibTenthsAmp = within(low, high);
    r.icTenthsAmp = within(low, high);
    r.idifTenthsAmp = (protection & 0x80) != 0 ? within(15, 40) : within(0, 4);
    r.cosByte = static_cast<std::uint8_t>(kPowerFactorPositive | within(78, 92));
    return r;
}

} // namespace

EventProtocol erasedEventProtocol() {
    EventProtocol protocol;
    protocol.fill(erasedEventRecordBytes());
    return protocol;
}

EventProtocol builtInEventProtocol(int validEvents) {
    EventProtocol protocol = erasedEventProtocol();
    const int count = std::clamp(validEvents, 0, static_cast<int>(EventTable::kEntries));
    // The ring's newest entries wrap to the start of the table, so read in table order the
    // newer half comes before the older one.
    const std::size_t ringStart =
        (EventTable::kEntries - static_cast<std::size_t>(count) / 2) % EventTable::kEntries;
    std::minstd_rand rng(20240301);
    sys_seconds time = sys_days{2024y / March / 1} + 8h;
    int orderDigit = 0;
    for (int i = 0; i < count; ++i) {
        // Start, trip, stop. A trip is written in the same second as the start now and then.
        const int phase = i % 3;
        const bool sameSecond = phase == 1 && i % 4 == 1;
        if (sameSecond) {
            ++orderDigit;
        } else {
            time += minutes(10 + static_cast<int>(rng() % (3 * 24 * 60)));
            time += seconds(rng() % 60);
            orderDigit = static_cast<int>(rng() % 3);
        }
        std::uint8_t protection = 0;
        if (phase == 1) {
            protection = static_cast<std::uint8_t>(1u << (rng() % 8));
        }
        EventRecord r = measured(rng, protection);
        r.protection = protection;
        r.state = phase == 0 ? kUnitOn | kEquipmentOn : kUnitOn;
        r.orderDigit = static_cast<std::uint8_t>(orderDigit);
        r.stamp = stampOf(time);
        protocol[(ringStart + static_cast<std::size_t>(i)) % EventTable::kEntries] =
            encodeEventRecord(r);
    }
    return protocol;
}

namespace {

struct LineError {
    std::string message;
};

std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (c == separator) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

std::int64_t integerIn(std::string_view what, const std::string& text, std::int64_t low,
                       std::int64_t high) {
    const auto value = parseInteger(text);
    if (!value || *value < low || *value > high) {
        throw LineError{std::string(what) + " wants a whole number from " + std::to_string(low) +
                        " to " + std::to_string(high) + ", not \"" + text + "\""};
    }
    return *value;
}

std::uint8_t hexByte(std::string_view what, const std::string& text) {
    const bool valid = !text.empty() && text.size() <= 2 &&
                       text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    if (!valid) {
        throw LineError{std::string(what) + " wants a hex byte, not \"" + text + "\""};
    }
    return static_cast<std::uint8_t>(std::stoul(text, nullptr, 16));
}

std::uint16_t tenthsIn(std::string_view what, const std::string& text) {
    const auto tenths = parseTenths(text);
    if (!tenths || *tenths < 0 || *tenths > kMaxWord) {
        throw LineError{std::string(what) + " wants amperes from 0 to 6553.5, not \"" + text +
                        "\""};
    }
    return static_cast<std::uint16_t>(*tenths);
}

// "dd.mm.yy" and "hh:mm:ss[:N]"; each field within what its BCD byte carries.
void readStamp(const std::string& date, const std::string& time, EventRecord& r) {
    const auto dateParts = split(date, '.');
    const auto timeParts = split(time, ':');
    if (dateParts.size() != 3 || timeParts.size() < 3 || timeParts.size() > 4) {
        throw LineError{"a record starts with dd.mm.yy hh:mm:ss[:N], not \"" + date + " " + time +
                        "\""};
    }
    const auto field = [](std::string_view name, const std::string& text, BcdField bcd) {
        return static_cast<int>(integerIn(name, text, 0, maxBcdFieldValue(bcd)));
    };
    r.stamp.day = field("the day", dateParts[0], BcdField::Day);
    r.stamp.month = field("the month", dateParts[1], BcdField::Month);
    r.stamp.year = field("the year", dateParts[2], BcdField::Year);
    r.stamp.hours = field("the hours", timeParts[0], BcdField::Hours);
    r.stamp.minutes = field("the minutes", timeParts[1], BcdField::Minutes);
    r.stamp.seconds = field("the seconds", timeParts[2], BcdField::Seconds);
    if (timeParts.size() == 4) {
        r.orderDigit = static_cast<std::uint8_t>(integerIn("the order digit", timeParts[3], 0, 15));
    }
}

std::uint8_t powerFactorByte(const std::string& text) {
    const auto value = parseDecimal(text);
    if (!value || std::fabs(*value) > 1.0) {
        throw LineError{"cos wants a power factor from -1 to 1, not \"" + text + "\""};
    }
    const auto hundredths = static_cast<std::uint8_t>(std::lround(std::fabs(*value) * 100));
    return static_cast<std::uint8_t>((*value >= 0 ? kPowerFactorPositive : 0) | hundredths);
}

std::array<std::uint16_t, 3> threeValues(const std::string& key, const std::string& text,
                                         bool amperes) {
    const auto parts = split(text, ',');
    if (parts.size() != 3) {
        throw LineError{key + " wants three values separated by commas, not \"" + text + "\""};
    }
    std::array<std::uint16_t, 3> values{};
    for (std::size_t i = 0; i < 3; ++i) {
        values[i] = amperes ? tenthsIn(key, parts[i])
                            : static_cast<std::uint16_t>(integerIn(key, parts[i], 0, kMaxWord));
    }
    return values;
}

Bytes readableRecord(const std::vector<std::string>& words) {
    EventRecord r;
    r.state = kUnitOn;
    r.cosByte = kPowerFactorPositive | 100;
    readStamp(words[0], words.size() > 1 ? words[1] : std::string(), r);
    for (std::size_t i = 2; i < words.size(); ++i) {
        const auto eq = words[i].find('=');
        if (eq == std::string::npos) {
            throw LineError{"\"" + words[i] + "\" is not a field=value pair"};
        }
        const std::string key = words[i].substr(0, eq);
        const std::string value = words[i].substr(eq + 1);
        if (key == "state") {
            r.state = hexByte("state", value);
        } else if (key == "prot") {
            r.protection = hexByte("prot", value);
        } else if (key == "u") {
            const auto u = threeValues(key, value, false);
            r.uaVolts = u[0], r.ubVolts = u[1], r.ucVolts = u[2];
        } else if (key == "i") {
            const auto i3 = threeValues(key, value, true);
            r.iaTenthsAmp = i3[0], r.ibTenthsAmp = i3[1], r.icTenthsAmp = i3[2];
        } else if (key == "iut") {
            r.idifTenthsAmp = tenthsIn("iut", value);
        } else if (key == "cos") {
            r.cosByte = powerFactorByte(value);
        } else {
            throw LineError{"unknown field \"" + key + "\" (known: state, prot, u, i, iut, cos)"};
        }
    }
    return encodeEventRecord(r);
}

Bytes recordOfLine(const std::vector<std::string>& words) {
    if (words.size() == 1 && words[0] == "erased") {
        return erasedEventRecordBytes();
    }
    if (words[0].find('.') != std::string::npos) {
        return readableRecord(words);
    }
    if (words.size() != kEventRecordSize) {
        throw LineError{"a record in hex has 24 bytes, not " + std::to_string(words.size())};
    }
    Bytes record;
    for (const std::string& word : words) {
        record.push_back(hexByte("a record in hex", word));
    }
    return record;
}

} // namespace

std::variant<EventProtocol, EventProtocolError> parseEventProtocol(std::string_view text) {
    EventProtocol protocol = erasedEventProtocol();
    std::size_t entry = 0;
    std::size_t lineNumber = 0;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        ++lineNumber;
        std::istringstream wordStream(line);
        std::vector<std::string> words;
        for (std::string word; wordStream >> word;) {
            words.push_back(word);
        }
        if (words.empty() || words[0].starts_with('#')) {
            continue;
        }
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        if (entry == protocol.size()) {
            return EventProtocolError{where + "the protocol holds 100 records at most"};
        }
        try {
            protocol[entry++] = recordOfLine(words);
        } catch (const LineError& error) {
            return EventProtocolError{where + error.message};
        }
    }
    return protocol;
}

std::variant<EventProtocol, EventProtocolError> loadEventProtocolFile(const std::string& path) {
    std::ifstream file(path);
    if (!file) {
        return EventProtocolError{path + ": cannot be read"};
    }
    std::ostringstream text;
    text << file.rdbuf();
    auto parsed = parseEventProtocol(text.str());
    if (auto* error = std::get_if<EventProtocolError>(&parsed)) {
        error->message = path + ", " + error->message;
    }
    return parsed;
}

} // namespace torl7::sim
