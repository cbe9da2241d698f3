#include "sim/plant.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace torl7::sim {

namespace {

constexpr std::array<std::string_view, kProtectionCount> kNames{"umin", "umax", "uasm", "ihol",
                                                                "iasm", "ivtz", "zakl", "idif"};

// A unit in service has counted for a while already.
constexpr double kInitialLifetimeHours = 12345.0;
constexpr double kInitialLifetimeKwh = 98765.432;
constexpr double kInitialAccountingHours = 1520.25;
constexpr double kInitialAccountingKwh = 10736.5;
constexpr std::uint16_t kInitialStarts = 57;
constexpr std::uint16_t kInitialTrips = 3;
constexpr ClockStamp kInitialAccountingStart{0, 0, 8, 1, 9, 25}; // 01.09.2025 08:00:00

constexpr std::uint32_t kMaxDelayTenths = 65535;

// Overload multiple of a provoked overload, and how far the other conditions go past their
// thresholds.
constexpr double kOverloadMultiple = 1.5;

double tenthsToUnits(std::uint32_t tenths) {
    return tenths / 10.0;
}

double ratedAmps(const ConfigRecord& settings) {
    return settings.inomTenths > 0 ? tenthsToUnits(settings.inomTenths) : 15.0;
}

bool has(std::uint8_t flags, Protection protection) {
    return (flags >> static_cast<unsigned>(protection) & 1) != 0;
}

} // namespace

std::string_view protectionName(Protection protection) {
    return kNames[static_cast<std::size_t>(protection)];
}

std::optional<Protection> protectionByName(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name) {
            return static_cast<Protection>(i);
        }
    }
    return std::nullopt;
}

Plant::Plant(WallTime start, std::vector<ProvokedTrip> trips, std::uint32_t seed)
    : start_(start), lastUpdate_(start), pending_(std::move(trips)),
      lifetimeSeconds_(kInitialLifetimeHours * 3600.0), lifetimeEnergyKwh_(kInitialLifetimeKwh),
      accountingSeconds_(kInitialAccountingHours * 3600.0),
      accountingEnergyKwh_(kInitialAccountingKwh), accountingStarts_(kInitialStarts),
      accountingTrips_(kInitialTrips), accountingStart_(kInitialAccountingStart), noise_(seed) {}

std::uint8_t Plant::functionFlags() const {
    std::uint8_t flags = 0;
    for (std::size_t p = 0; p < kProtectionCount; ++p) {
        if (pickedUpAt_[p]) {
            flags |= static_cast<std::uint8_t>(1u << p);
        }
    }
    return flags;
}

std::uint32_t Plant::delayTenths(Protection protection, const ConfigRecord& settings) {
    switch (protection) {
    case Protection::Umin:
        return settings.uminDelayTenths;
    case Protection::Umax:
        return settings.umaxDelayTenths;
    case Protection::Uasm:
        return settings.uAsymDelayTenths;
    case Protection::Ihol:
        return settings.iholDelayTenthsOfSecond;
    case Protection::Iasm:
        return settings.iAsymDelayTenths;
    case Protection::Ivtz:
        // The time-current characteristic: the setting at a multiple of 1.1, a tenth of it
        // at 2.0, in general T / (10 (k - 1)).
        return static_cast<std::uint32_t>(std::min<double>(
            kMaxDelayTenths,
            std::floor(settings.vtzTenthsOfSecond / (10.0 * (kOverloadMultiple - 1.0)))));
    case Protection::Zakl:
        return settings.izklDelayTenths;
    case Protection::Idif:
        return settings.idifDelayTenths;
    }
    return 0;
}

std::uint32_t Plant::remainingDelayTenths(Protection protection,
                                          const ConfigRecord& settings) const {
    const auto& pickedUp = pickedUpAt_[static_cast<std::size_t>(protection)];
    if (!pickedUp || has(tripFlags_, protection)) {
        return 0;
    }
    const auto elapsedTenths =
        std::chrono::duration_cast<std::chrono::milliseconds>(lastUpdate_ - *pickedUp).count() /
        100;
    const auto delay = static_cast<std::int64_t>(delayTenths(protection, settings));
    return static_cast<std::uint32_t>(std::max<std::int64_t>(0, delay - elapsedTenths));
}

std::uint16_t Plant::resetLockSeconds(const ConfigRecord& settings) const {
    if (!lastTripAt_) {
        return 0;
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::seconds>(lastUpdate_ - *lastTripAt_).count();
    return static_cast<std::uint16_t>(
        std::max<std::int64_t>(0, settings.resetLockSeconds - elapsed));
}

Measurements Plant::steadyMeasurements(const ConfigRecord& settings,
                                       const std::array<double, 7>& inputs) const {
    Measurements m;
    m.volts = {inputs[0], inputs[1], inputs[2]};
    m.amps = {inputs[3], inputs[4], inputs[5]};
    m.leakageAmps = inputs[6];
    m.cosF = runningCosF_;
    const std::uint8_t active = functionFlags();
    const double inom = ratedAmps(settings);
    if (has(active, Protection::Umin)) {
        m.volts.fill(0.8 * settings.uminVolts);
    }
    if (has(active, Protection::Umax)) {
        m.volts.fill(1.1 * settings.umaxVolts);
    }
    if (has(active, Protection::Uasm)) {
        m.volts[2] = m.volts[0] * (1.0 - 1.5 * settings.uAsymPercent / 100.0);
    }
    if (has(active, Protection::Ihol)) {
        m.amps.fill(0.5 * tenthsToUnits(settings.iholTenths));
        m.cosF = 0.2;
    }
    if (has(active, Protection::Iasm)) {
        m.amps[2] = m.amps[0] * (1.0 - 1.5 * settings.iAsymPercent / 100.0);
    }
    if (has(active, Protection::Ivtz)) {
        m.amps.fill(kOverloadMultiple * inom);
    }
    if (has(active, Protection::Zakl)) {
        m.amps.fill(1.2 * tenthsToUnits(settings.izklTenths));
        m.cosF = 0.4;
    }
    if (has(active, Protection::Idif)) {
        m.leakageAmps = 2.0 * tenthsToUnits(settings.idifTenths);
    }
    if (!motorRunning_) {
        m.amps.fill(0.0);
        m.leakageAmps = 0.0;
        m.cosF = 0.0;
    }
    return m;
}

Measurements Plant::measure(const ConfigRecord& settings, const std::array<double, 7>& inputs) {
    Measurements m = steadyMeasurements(settings, inputs);
    std::uniform_real_distribution<double> volts(-1.5, 1.5);
    std::uniform_real_distribution<double> amps(-0.15, 0.15);
    std::uniform_real_distribution<double> cosF(-0.01, 0.01);
    for (auto& v : m.volts) {
        v = std::max(0.0, v + volts(noise_));
    }
    if (motorRunning_) {
        for (auto& a : m.amps) {
            a = std::max(0.0, a + amps(noise_));
        }
        m.cosF = std::clamp(m.cosF + cosF(noise_), -1.0, 1.0);
    }
    return m;
}

double Plant::powerKw(const ConfigRecord& settings, const std::array<double, 7>& inputs) const {
    const Measurements m = steadyMeasurements(settings, inputs);
    double kw = 0.0;
    for (std::size_t i = 0; i < 3; ++i) {
        kw += m.volts[i] * m.amps[i] * m.cosF / 1000.0;
    }
    return std::max(0.0, kw);
}

void Plant::run(WallTime until, const ConfigRecord& settings, const std::array<double, 7>& inputs) {
    if (until <= lastUpdate_) {
        return;
    }
    const double seconds = std::chrono::duration<double>(until - lastUpdate_).count();
    if (motorRunning_) {
        const double kwh = powerKw(settings, inputs) * seconds / 3600.0;
        lifetimeSeconds_ += seconds;
        accountingSeconds_ += seconds;
        lifetimeEnergyKwh_ += kwh;
        accountingEnergyKwh_ += kwh;
    }
    lastUpdate_ = until;
}

bool Plant::reset(WallTime now, const ConfigRecord& settings) {
    if (now > lastUpdate_) {
        lastUpdate_ = now; // counters are brought up by advance(), which runs first
    }
    if (resetLockSeconds(settings) > 0) {
        return false;
    }
    pickedUpAt_.fill(std::nullopt);
    tripFlags_ = 0;
    if (!motorRunning_) {
        motorRunning_ = true;
        ++accountingStarts_;
    }
    return true;
}

void Plant::resetAccounting(const ClockStamp& unitNow) {
    AccountingRecord cleared;
    cleared.start = unitNow;
    setAccounting(cleared);
}

void Plant::setAccounting(const AccountingRecord& record) {
    accountingSeconds_ = record.runningSeconds;
    accountingEnergyKwh_ = static_cast<double>(record.energyMillionthsKwh) / 1e6;
    accountingStarts_ = record.starts;
    accountingTrips_ = record.trips;
    accountingStart_ = record.start;
}

std::uint32_t Plant::lifetimeRunningSeconds() const {
    return static_cast<std::uint32_t>(std::min(lifetimeSeconds_, 4294967295.0));
}

std::uint64_t Plant::lifetimeEnergyMillionthsKwh() const {
    return static_cast<std::uint64_t>(lifetimeEnergyKwh_ * 1e6) & 0xFFFFFFFFFFull;
}

AccountingRecord Plant::accounting() const {
    AccountingRecord record;
    record.runningSeconds = static_cast<std::uint32_t>(std::min(accountingSeconds_, 4294967295.0));
    record.starts = accountingStarts_;
    record.trips = accountingTrips_;
    record.energyMillionthsKwh =
        static_cast<std::uint64_t>(accountingEnergyKwh_ * 1e6) & 0xFFFFFFFFFFull;
    record.start = accountingStart_;
    return record;
}

} // namespace torl7::sim
