// The traffic log: the last entries of what went over the line, kept in a bounded ring, the
// count of each outcome, and the columns and lines they are shown and saved as. Qt Core only:
// the window's "Обмен" view and torl7-cli's --trace read the same lines.
#pragma once

#include "session/traffic.hpp"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace torl7 {

class UnitSession;

class TrafficLog : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kCapacity = 10000;
    static constexpr std::size_t kFates = 7;

    explicit TrafficLog(std::size_t capacity = kCapacity, QObject* parent = nullptr);

    // Keeps every entry `session` hands out from now on.
    void listenTo(UnitSession& session);
    void add(const TrafficEntry& entry);
    void clear();

    // Kept entries, oldest first; `at(0)` is the oldest.
    std::size_t size() const { return entries_.size(); }
    std::size_t capacity() const { return capacity_; }
    const TrafficEntry& at(std::size_t index) const;
    // Entries ever added since the last clear, dropped ones included: a view compares it with
    // what it has shown to take only the new ones.
    std::uint64_t added() const { return added_; }

    // How many entries of each fate, and how many received with a bad or incomplete sum, since
    // the last clear (dropped entries too).
    std::uint64_t count(TrafficEntry::Fate fate) const;
    std::uint64_t badSums() const { return badSums_; }
    // "запросов 12, ответов 11, эхо 0, ..." for the view's counter line.
    QString countersText() const;

    // The entries from the last frame sent to the end: what the line showed since the request.
    std::vector<TrafficEntry> lastExchange() const;

    // Time stamps are shown from this moment: the first entry after the last clear.
    std::chrono::steady_clock::time_point origin() const { return origin_; }

signals:
    void cleared();

private:
    std::size_t capacity_;
    std::vector<TrafficEntry> entries_; // a ring once full: head_ is the oldest
    std::size_t head_ = 0;
    std::uint64_t added_ = 0;
    std::array<std::uint64_t, kFates> fates_{};
    std::uint64_t badSums_ = 0;
    std::chrono::steady_clock::time_point origin_{};
};

// The columns of one entry: time (seconds from `origin`), direction, request kind, length,
// sum, fate, decoded summary.
using TrafficRow = std::array<QString, 7>;
inline const TrafficRow kTrafficHeader = {
    QStringLiteral("Время, с"),  QStringLiteral("Направление"), QStringLiteral("Вид"),
    QStringLiteral("Длина"),     QStringLiteral("Сумма"),       QStringLiteral("Итог"),
    QStringLiteral("Содержание")};
TrafficRow trafficRow(const TrafficEntry& entry, std::chrono::steady_clock::time_point origin);
// One line of the text log (and of --trace): the columns, then the bytes in hex.
QString trafficLine(const TrafficEntry& entry, std::chrono::steady_clock::time_point origin);
// One CSV line: the columns and the bytes, separated by commas, quoted where needed.
QString trafficCsvLine(const TrafficEntry& entry, std::chrono::steady_clock::time_point origin);
QString trafficCsvHeader();

} // namespace torl7
