#include "protocol/traffic_summary.hpp"

#include "protocol/codecs/accounting_codec.hpp"
#include "protocol/codecs/clock_codec.hpp"
#include "protocol/codecs/config_record_codec.hpp"
#include "protocol/codecs/event_codec.hpp"
#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/codecs/version_codec.hpp"
#include "protocol/codecs/waveform_codec.hpp"
#include "protocol/display_format.hpp"
#include "protocol/frame.hpp"
#include "protocol/line_speed.hpp"
#include "protocol/request_kind.hpp"

#include <algorithm>

namespace torl7 {
namespace {

std::string n(long long value) {
    return std::to_string(value);
}

// The page's zero-padded counter without its padding: "000012,5" reads "12,5".
std::string unpadded(std::string text) {
    const auto digits = text.find_first_not_of('0');
    if (digits == std::string::npos || text[digits] == ',') {
        return text.substr(digits == std::string::npos ? text.size() - 1 : digits - 1);
    }
    return text.substr(digits);
}

std::string configurationText(ByteSpan record) {
    const ConfigRecord r = decodeConfigRecord(record);
    return "RS485 " + n(baudForIndex(r.rs485SpeedIndex)) + ", адрес " + n(r.busAddress);
}

// The first event of a block the unit has written, and how many it has written.
std::string eventBlockText(ByteSpan payload) {
    const EventBlock block = decodeEventBlock(payload);
    std::string first;
    int written = 0;
    for (std::size_t i = 0; i < kEventsPerBlock; ++i) {
        const std::size_t at = 1 + i * kEventRecordSize;
        const auto record = payload.size() >= at + kEventRecordSize
                                ? payload.subspan(at, kEventRecordSize)
                                : ByteSpan{};
        if (record.empty() || std::ranges::all_of(record, [](auto b) { return b == 0xFF; })) {
            continue;
        }
        if (++written == 1) {
            EventRow row = eventRowTexts(block.records[i]);
            std::string when = row[0];
            when.erase(std::unique(when.begin(), when.end(),
                                   [](char a, char b) { return a == ' ' && b == ' '; }),
                       when.end());
            first = when + (row[3].empty() ? std::string() : ", " + row[3]);
        }
    }
    if (written == 0) {
        return "события, блок " + n(block.index) + ": пусто";
    }
    std::string text = "событие: " + first;
    if (written > 1) {
        text += " (блок " + n(block.index) + ", ещё " + n(written - 1) + ")";
    }
    return text;
}

std::string diagnosticsAnswer(ByteSpan payload) {
    if (payload.size() == kSnapshotSize) {
        const SnapshotTexts t = formatSnapshot(decodeSnapshot(payload));
        return "диагностика: " + t.ttime + ", Ua " + t.st_ua + " В, Ia " + t.st_ia + " А";
    }
    if (payload.size() == kWaveformBlockSize) {
        return "осциллограмма, блок " + n(payload[0]);
    }
    return "диагностика, " + n(static_cast<long long>(payload.size())) + " байт";
}

std::string request(std::uint8_t code, ByteSpan payload) {
    const auto known = requestKindOf(code);
    if (!known) {
        return "запрос с кодом " + n(code);
    }
    switch (*known) {
    case kind::Ping:
        return payload.empty() ? "запрос связи"
                               : "установка скорости " + n(baudForIndex(payload[0])) + " бод";
    case kind::Diagnostics:
        return "запрос диагностики, селектор " + n(payload.empty() ? 0 : payload[0]);
    case kind::ConfigRead:
        return "чтение конфигурации";
    case kind::Write:
        if (!payload.empty() && payload[0] == kWriteSubModeConfig) {
            return "запись конфигурации: " + configurationText(payload.subspan(1));
        }
        return "запись коэффициентов";
    case kind::Clock: {
        const ClockCorrection c = decodeClockCorrection(payload);
        const ClockStamp at{c.clock.seconds, c.clock.minutes, c.clock.hours,
                            c.clock.day,     c.clock.month,   c.clock.year};
        return "коррекция часов: " + n(at.day) + "." + n(at.month) + " " + formatClockTime(at);
    }
    case kind::ProtectionReset:
        return "сброс защиты";
    case kind::EventBlock:
        return "чтение событий, блок " + n(payload.empty() ? 0 : payload[0]);
    case kind::AccountingRead:
        return "чтение учёта";
    case kind::AccountingReset:
        return "сброс учёта";
    case kind::Version:
        return "чтение версии";
    }
    return {};
}

std::string answer(std::uint8_t code, ByteSpan payload) {
    const auto known = requestKindOf(code);
    if (!known) {
        return "ответ с кодом " + n(code);
    }
    switch (*known) {
    case kind::Ping:
        return "ответ на запрос связи";
    case kind::Diagnostics:
        return diagnosticsAnswer(payload);
    case kind::ConfigRead:
        return "конфигурация: " + configurationText(payload);
    case kind::Write:
        return "подтверждение записи";
    case kind::Clock:
        return "подтверждение коррекции часов";
    case kind::ProtectionReset:
        return "подтверждение сброса защиты";
    case kind::EventBlock:
        return eventBlockText(payload);
    case kind::AccountingRead:
    case kind::AccountingReset: {
        const AccountingTexts t = formatAccounting(decodeAccounting(payload));
        return "учёт: пусков " + t.st_kvdv + ", отключений " + t.st_kzdv + ", " +
               unpadded(t.st_nwa) + " кВт·ч";
    }
    case kind::Version:
        return "версия: " + withoutPadding(decodeVersionText(payload));
    }
    return {};
}

} // namespace

std::string trafficSummary(ByteSpan bytes, bool sent) {
    const auto frame = parseFrame(bytes);
    if (!frame || frame->bytes().size() != bytes.size()) {
        return n(static_cast<long long>(bytes.size())) + " байт вне кадра";
    }
    const std::string text = sent ? request(frame->command(), frame->payload())
                                  : answer(frame->command(), frame->payload());
    return "№" + n(frame->factoryNumber()) + " " + text;
}

} // namespace torl7
