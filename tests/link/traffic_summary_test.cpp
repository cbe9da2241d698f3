// The traffic log's one-line summaries, from frames built with the unit's codecs.
#include "protocol/codecs/accounting_codec.hpp"
#include "protocol/codecs/config_record_codec.hpp"
#include "protocol/codecs/event_codec.hpp"
#include "protocol/codecs/version_codec.hpp"
#include "protocol/frame.hpp"
#include "protocol/request_kind.hpp"
#include "protocol/traffic_summary.hpp"

#include <gtest/gtest.h>

using namespace torl7;

namespace {

Bytes configPayload() {
    ConfigRecord r;
    r.rs485SpeedIndex = 5; // 9600
    r.busAddress = 1;
    const auto record = encodeConfigRecord(r);
    return Bytes(record.begin(), record.end());
}

Bytes eventBlock(int written) {
    EventRecord overload;
    overload.orderDigit = 3;
    overload.stamp = ClockStamp{45, 30, 14, 5, 3, 16};
    overload.protection = 1 << 5;
    std::array<Bytes, kEventsPerBlock> records;
    for (std::size_t i = 0; i < kEventsPerBlock; ++i) {
        records[i] =
            static_cast<int>(i) < written ? encodeEventRecord(overload) : erasedEventRecordBytes();
    }
    return encodeEventBlockBytes(2, records);
}

struct Case {
    const char* name;
    Bytes frame;
    bool sent;
    std::string summary;
};

} // namespace

TEST(TrafficSummary, namesEachRequestAndDecodesEachAnswer) {
    AccountingRecord accounting;
    accounting.starts = 12;
    accounting.trips = 3;
    accounting.energyMillionthsKwh = 12'500'000;
    const Case cases[] = {
        {"ping", buildFrame(600, kind::Ping, {}), true, "№600 запрос связи"},
        {"speed set", buildFrame(600, kind::Ping, Bytes{5}), true,
         "№600 установка скорости 9600 бод"},
        {"config read", buildFrame(600, kind::ConfigRead, {}), true, "№600 чтение конфигурации"},
        {"config answer", buildFrame(600, kind::ConfigRead, configPayload()), false,
         "№600 конфигурация: RS485 9600, адрес 1"},
        {"config write", buildFrame(601, kind::Write, configWritePayload(ConfigRecord{})), true,
         "№601 запись конфигурации: RS485 9600, адрес 1"},
        {"event block request", buildFrame(600, kind::EventBlock, Bytes{7}), true,
         "№600 чтение событий, блок 7"},
        {"one event", buildFrame(600, kind::EventBlock, eventBlock(1)), false,
         "№600 событие: 05.03.16 14:30:45:3, Перегруз"},
        {"three events", buildFrame(600, kind::EventBlock, eventBlock(3)), false,
         "№600 событие: 05.03.16 14:30:45:3, Перегруз (блок 2, ещё 2)"},
        {"erased block", buildFrame(600, kind::EventBlock, eventBlock(0)), false,
         "№600 события, блок 2: пусто"},
        {"accounting", buildFrame(600, kind::AccountingRead, encodeAccounting(accounting)), false,
         "№600 учёт: пусков 12, отключений 3, 12,5 кВт·ч"},
        {"version", buildFrame(600, kind::Version, encodeVersionText("ТОРЛ-7 v2.1")), false,
         "№600 версия: ТОРЛ-7 v2.1"},
        {"unknown code", buildFrame(600, 9, {}), false, "№600 ответ с кодом 9"},
        {"bad sum", Bytes{0xAA, 0x06, 0x02, 0x58, 0x02, 0x00, 0x01, 0x0D}, false,
         "8 байт вне кадра"},
        {"noise", Bytes{0x13, 0x37}, false, "2 байт вне кадра"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(trafficSummary(c.frame, c.sent), c.summary) << c.name;
    }
}
