// The motor the unit supervises and the unit's protections acting on it: measurements near
// the applied inputs with a little noise, protections that pick up, count down their delay and
// trip when a trip is provoked, and the counters of running time, energy, starts and trips.
// Time comes from the PC clock handed in; nothing here sleeps or does I/O.
#pragma once

#include "protocol/codecs/accounting_codec.hpp"
#include "protocol/codecs/config_record_codec.hpp"
#include "protocol/codecs/event_codec.hpp"
#include "sim/clock.hpp"

#include <array>
#include <chrono>
#include <cstddef>
#include <optional>
#include <random>
#include <string_view>
#include <vector>

namespace torl7::sim {

// In the order of their bits in the trip flags, the function flags and the enable byte.
enum class Protection : std::uint8_t { Umin, Umax, Uasm, Ihol, Iasm, Ivtz, Zakl, Idif };
inline constexpr std::size_t kProtectionCount = 8;

// umin, umax, uasm, ihol, iasm, ivtz, zakl, idif.
std::string_view protectionName(Protection protection);
std::optional<Protection> protectionByName(std::string_view name);

// A trip to provoke: the condition of `protection` appears `after` the unit started.
struct ProvokedTrip {
    Protection protection = Protection::Umin;
    std::chrono::seconds after{0};
};

// One moment's measurements, in the units of the status snapshot.
struct Measurements {
    std::array<double, 3> volts{};
    std::array<double, 3> amps{};
    double leakageAmps = 0.0;
    double cosF = 0.0;
};

class Plant {
public:
    Plant(WallTime start, std::vector<ProvokedTrip> trips, std::uint32_t seed);

    // Brings protections and counters up to `now`: provoked conditions appear, delays run
    // out and trip (each trip stops the motor, counts and is handed to `onTrip` with the PC
    // time it happened at), the motor's running time and energy grow while it runs.
    template <class OnTrip>
    void advance(WallTime now, const ConfigRecord& settings, const std::array<double, 7>& inputs,
                 OnTrip&& onTrip);

    // Measurements at the last advance, with noise; the conditions of picked-up protections
    // shape them (undervoltage lowers the voltages, overload raises the currents ...).
    Measurements measure(const ConfigRecord& settings, const std::array<double, 7>& inputs);
    // The same without noise, as the unit records them in an event.
    Measurements steadyMeasurements(const ConfigRecord& settings,
                                    const std::array<double, 7>& inputs) const;

    // Protection reset: clears trips and conditions and restarts the motor, unless the reset
    // lock after a trip still runs. True when it took effect.
    bool reset(WallTime now, const ConfigRecord& settings);

    // Resets the accounting counters; accounting starts at `unitNow` (the unit's clock).
    void resetAccounting(const ClockStamp& unitNow);
    // Sets the accounting counters and their start to those of `record`.
    void setAccounting(const AccountingRecord& record);

    // The power factor of the running motor, 0,85 unless set.
    void setRunningCosF(double cosF) { runningCosF_ = cosF; }

    bool motorRunning() const { return motorRunning_; }
    std::uint8_t tripFlags() const { return tripFlags_; }
    // Protections that picked up and have not been reset.
    std::uint8_t functionFlags() const;
    // Remaining delay of a protection counting down, in tenths of a second; 0 otherwise.
    std::uint32_t remainingDelayTenths(Protection protection, const ConfigRecord& settings) const;
    std::uint16_t resetLockSeconds(const ConfigRecord& settings) const;
    std::uint32_t lifetimeRunningSeconds() const;
    std::uint64_t lifetimeEnergyMillionthsKwh() const;
    AccountingRecord accounting() const;

    // Trip delay of a protection under its provoked condition, in tenths of a second.
    static std::uint32_t delayTenths(Protection protection, const ConfigRecord& settings);

private:
    void run(WallTime until, const ConfigRecord& settings, const std::array<double, 7>& inputs);
    double powerKw(const ConfigRecord& settings, const std::array<double, 7>& inputs) const;

    WallTime start_;
    WallTime lastUpdate_;
    std::vector<ProvokedTrip> pending_;
    std::array<std::optional<WallTime>, kProtectionCount> pickedUpAt_{};
    std::uint8_t tripFlags_ = 0;
    std::optional<WallTime> lastTripAt_;
    bool motorRunning_ = true;
    double runningCosF_ = 0.85;
    double lifetimeSeconds_;
    double lifetimeEnergyKwh_;
    double accountingSeconds_;
    double accountingEnergyKwh_;
    std::uint16_t accountingStarts_;
    std::uint16_t accountingTrips_;
    ClockStamp accountingStart_;
    std::mt19937 noise_;
};

template <class OnTrip>
void Plant::advance(WallTime now, const ConfigRecord& settings, const std::array<double, 7>& inputs,
                    OnTrip&& onTrip) {
    for (;;) {
        // The earliest thing due: a provoked condition appearing, or a delay running out.
        std::optional<WallTime> due;
        std::optional<std::size_t> pendingIndex;
        std::optional<Protection> tripping;
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            const WallTime at = start_ + pending_[i].after;
            if (!due || at < *due) {
                due = at;
                pendingIndex = i;
                tripping.reset();
            }
        }
        for (std::size_t p = 0; p < kProtectionCount; ++p) {
            if (!pickedUpAt_[p] || (tripFlags_ >> p & 1)) {
                continue;
            }
            const auto protection = static_cast<Protection>(p);
            const WallTime at = *pickedUpAt_[p] +
                                std::chrono::milliseconds(100 * delayTenths(protection, settings));
            if (!due || at < *due) {
                due = at;
                pendingIndex.reset();
                tripping = protection;
            }
        }
        if (!due || *due > now) {
            break;
        }
        run(std::max(*due, lastUpdate_), settings, inputs);
        if (pendingIndex) {
            const ProvokedTrip trip = pending_[*pendingIndex];
            pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(*pendingIndex));
            auto& pickedUp = pickedUpAt_[static_cast<std::size_t>(trip.protection)];
            if (!pickedUp) {
                pickedUp = lastUpdate_;
            }
        } else {
            // The event records the moment before the motor stops.
            onTrip(*tripping, lastUpdate_);
            tripFlags_ |= static_cast<std::uint8_t>(1u << static_cast<unsigned>(*tripping));
            lastTripAt_ = lastUpdate_;
            motorRunning_ = false;
            ++accountingTrips_;
        }
    }
    run(now, settings, inputs);
}

} // namespace torl7::sim
