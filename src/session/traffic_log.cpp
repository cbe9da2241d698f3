#include "session/traffic_log.hpp"

#include "documents/events_csv.hpp"
#include "protocol/request_kind.hpp"
#include "protocol/traffic_summary.hpp"
#include "session/unit_session.hpp"

namespace torl7 {

TrafficLog::TrafficLog(std::size_t capacity, QObject* parent)
    : QObject(parent), capacity_(capacity == 0 ? 1 : capacity) {
    entries_.reserve(capacity_);
}

void TrafficLog::listenTo(UnitSession& session) {
    connect(&session, &UnitSession::traffic, this, &TrafficLog::add);
}

void TrafficLog::add(const TrafficEntry& entry) {
    if (added_ == 0) {
        origin_ = entry.at;
    }
    ++added_;
    ++fates_[static_cast<std::size_t>(entry.fate)];
    if (entry.sum == TrafficEntry::Sum::Bad || entry.sum == TrafficEntry::Sum::Incomplete) {
        ++badSums_;
    }
    if (entries_.size() < capacity_) {
        entries_.push_back(entry);
        return;
    }
    entries_[head_] = entry; // the oldest goes, and its bytes with it
    head_ = (head_ + 1) % capacity_;
}

void TrafficLog::clear() {
    entries_.clear();
    head_ = 0;
    added_ = 0;
    fates_ = {};
    badSums_ = 0;
    emit cleared();
}

const TrafficEntry& TrafficLog::at(std::size_t index) const {
    return entries_[(head_ + index) % entries_.size()];
}

std::uint64_t TrafficLog::count(TrafficEntry::Fate fate) const {
    return fates_[static_cast<std::size_t>(fate)];
}

QString TrafficLog::countersText() const {
    using Fate = TrafficEntry::Fate;
    return QStringLiteral("запросов %1, проб %2, ответов %3, эхо %4, чужих кодов %5, "
                          "без запроса %6, отброшено %7, неверных сумм %8")
        .arg(count(Fate::Request))
        .arg(count(Fate::Probe))
        .arg(count(Fate::Answer))
        .arg(count(Fate::Echo))
        .arg(count(Fate::OtherCode))
        .arg(count(Fate::Unasked))
        .arg(count(Fate::Dropped))
        .arg(badSums_);
}

std::vector<TrafficEntry> TrafficLog::lastExchange() const {
    std::size_t first = size();
    while (first > 0) {
        --first;
        if (at(first).direction == TrafficEntry::Direction::Sent) {
            break;
        }
    }
    std::vector<TrafficEntry> exchange;
    for (std::size_t i = first; i < size(); ++i) {
        exchange.push_back(at(i));
    }
    return exchange;
}

namespace {

QString kindName(RequestKind requestKind) {
    switch (requestKind) {
    case kind::Ping:
        return QStringLiteral("связь");
    case kind::Diagnostics:
        return QStringLiteral("диагностика");
    case kind::ConfigRead:
        return QStringLiteral("конфигурация");
    case kind::Write:
        return QStringLiteral("запись");
    case kind::Clock:
        return QStringLiteral("часы");
    case kind::ProtectionReset:
        return QStringLiteral("сброс защиты");
    case kind::EventBlock:
        return QStringLiteral("события");
    case kind::AccountingRead:
        return QStringLiteral("учёт");
    case kind::AccountingReset:
        return QStringLiteral("сброс учёта");
    case kind::Version:
        return QStringLiteral("версия");
    }
    return {};
}

QString sumName(TrafficEntry::Sum sum) {
    switch (sum) {
    case TrafficEntry::Sum::Good:
        return QStringLiteral("верна");
    case TrafficEntry::Sum::Bad:
        return QStringLiteral("неверна");
    case TrafficEntry::Sum::Incomplete:
        return QStringLiteral("неполный");
    case TrafficEntry::Sum::None:
        return QStringLiteral("нет кадра");
    }
    return {};
}

QString fateName(TrafficEntry::Fate fate) {
    switch (fate) {
    case TrafficEntry::Fate::Request:
        return QStringLiteral("запрос");
    case TrafficEntry::Fate::Probe:
        return QStringLiteral("проба");
    case TrafficEntry::Fate::Answer:
        return QStringLiteral("ответ");
    case TrafficEntry::Fate::Echo:
        return QStringLiteral("эхо");
    case TrafficEntry::Fate::OtherCode:
        return QStringLiteral("чужой код");
    case TrafficEntry::Fate::Unasked:
        return QStringLiteral("без запроса");
    case TrafficEntry::Fate::Dropped:
        return QStringLiteral("отброшено");
    }
    return {};
}

QString hex(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()))
        .toHex(' ')
        .toUpper();
}

} // namespace

TrafficRow trafficRow(const TrafficEntry& entry, std::chrono::steady_clock::time_point origin) {
    const bool sent = entry.direction == TrafficEntry::Direction::Sent;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(entry.at - origin);
    return {QString::number(static_cast<double>(ms.count()) / 1000.0, 'f', 3),
            sent ? QStringLiteral("ПК → блок") : QStringLiteral("блок → ПК"),
            kindName(entry.requestKind),
            QString::number(entry.bytes.size()),
            sumName(entry.sum),
            fateName(entry.fate),
            QString::fromStdString(trafficSummary(entry.bytes, sent))};
}

QString trafficLine(const TrafficEntry& entry, std::chrono::steady_clock::time_point origin) {
    const TrafficRow row = trafficRow(entry, origin);
    return QStringLiteral("%1 %2 %3 %4 б, сумма %5, %6: %7 [%8]")
        .arg(row[0], 9)
        .arg(row[1], row[2], row[3], row[4], row[5], row[6], hex(entry.bytes));
}

namespace {

QString csvLine(const TrafficRow& row, const QString& last) {
    QStringList cells;
    for (const QString& cell : row) {
        cells << QString::fromStdString(csvField(cell.toStdString(), ','));
    }
    cells << last;
    return cells.join(',');
}

} // namespace

QString trafficCsvHeader() {
    return csvLine(kTrafficHeader, QStringLiteral("Байты"));
}

QString trafficCsvLine(const TrafficEntry& entry, std::chrono::steady_clock::time_point origin) {
    return csvLine(trafficRow(entry, origin), hex(entry.bytes));
}

} // namespace torl7
