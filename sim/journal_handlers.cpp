// The event protocol and the accounting record.
#include "sim/handlers.hpp"

#include <ctime>
#include <mutex>

namespace torl7::sim {

namespace {

using namespace std::chrono;

// Three phases near 230 V and 12 A at cos f 0,85: about 7 kW, in millionths of a kWh a second.
constexpr std::uint64_t kMillionthsKwhPerSecond = 1955;
constexpr std::uint64_t kEnergyCounterMask = (std::uint64_t{1} << 40) - 1;

// The unit's clock (the PC's local time plus what the last correction left) as its BCD
// fields carry it.
ClockStamp unitTime(const HandlerContext& unit) {
    const std::time_t now = system_clock::to_time_t(unit.clock.now() + unit.state.clockOffset);
    static std::mutex localTimeMutex; // std::localtime shares one buffer
    const std::lock_guard lock(localTimeMutex);
    const std::tm* local = std::localtime(&now);
    if (local == nullptr) {
        return {};
    }
    return ClockStamp{local->tm_sec,  local->tm_min,     local->tm_hour,
                      local->tm_mday, local->tm_mon + 1, local->tm_year % 100};
}

// The record now: what it held at the mark plus the running since.
AccountingRecord currentAccounting(const HandlerContext& unit) {
    const UnitState& state = unit.state;
    const auto elapsed = floor<seconds>(unit.clock.now() - state.accountingMark).count();
    const std::uint64_t running = elapsed > 0 ? static_cast<std::uint64_t>(elapsed) : 0;
    AccountingRecord record = state.accountingAtMark;
    record.runningSeconds = static_cast<std::uint32_t>(record.runningSeconds + running);
    record.energyMillionthsKwh =
        (record.energyMillionthsKwh + running * kMillionthsKwhPerSecond) & kEnergyCounterMask;
    return record;
}

} // namespace

AccountingRecord initialAccounting() {
    AccountingRecord record;
    record.runningSeconds = 5123456;
    record.starts = 318;
    record.trips = 12;
    record.energyMillionthsKwh = std::uint64_t{5123456} * kMillionthsKwhPerSecond;
    record.start = ClockStamp{0, 0, 8, 1, 2, 24}; // 01.02.2024 08:00:00
    return record;
}

Answer handleEventBlock(HandlerContext& unit, const PayloadReader& request) {
    if (request.size() != 1 || request.byte(0) >= kEventBlocks) {
        return std::nullopt; // no such block: the unit stays silent
    }
    const std::uint8_t index = request.byte(0);
    std::array<Bytes, kEventsPerBlock> records;
    for (std::size_t k = 0; k < kEventsPerBlock; ++k) {
        records[k] = unit.state.events[index * kEventsPerBlock + k];
    }
    return encodeEventBlockBytes(index, records);
}

Answer handleAccountingRead(HandlerContext& unit, const PayloadReader&) {
    return encodeAccounting(currentAccounting(unit));
}

Answer handleAccountingReset(HandlerContext& unit, const PayloadReader&) {
    AccountingRecord zero;
    zero.start = unitTime(unit);
    unit.state.accountingAtMark = zero;
    unit.state.accountingMark = unit.clock.now();
    return encodeAccounting(zero);
}

} // namespace torl7::sim
