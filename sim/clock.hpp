// Where the simulated unit takes the time of day from. The unit's clock is this time plus the
// offset that the last clock correction left; tests hand in a fixed time.
#pragma once

#include <atomic>
#include <chrono>

namespace torl7::sim {

using WallTime = std::chrono::system_clock::time_point;

class Clock {
public:
    virtual ~Clock() = default;
    virtual WallTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    WallTime now() const override { return std::chrono::system_clock::now(); }
};

// A time that moves only when told to. Safe to read from the serving thread while a test
// moves it.
class FixedClock final : public Clock {
public:
    explicit FixedClock(WallTime start) : ticks_(start.time_since_epoch().count()) {}

    WallTime now() const override { return WallTime(WallTime::duration(ticks_.load())); }
    void set(WallTime time) { ticks_ = time.time_since_epoch().count(); }
    void advance(WallTime::duration by) { ticks_ += by.count(); }

private:
    std::atomic<WallTime::rep> ticks_;
};

} // namespace torl7::sim
