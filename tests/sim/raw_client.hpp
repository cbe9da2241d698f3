// A bare serial client for the line tests: opens the port the simulated unit printed, sets a
// speed with termios, writes raw requests and collects raw bytes with their arrival times.
#pragma once

#include "protocol/encodings.hpp"

#include <chrono>
#include <string>

namespace torl7::sim::testing {

struct Arrival {
    std::chrono::milliseconds at; // since the last write began
    Bytes bytes;
};

class RawClient {
public:
    // Opens `path` raw at `baud` (standard rates through cfsetspeed, others through termios2).
    RawClient(const std::string& path, int baud);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    void setSpeed(int baud);
    void write(const Bytes& bytes);
    // Everything that arrives until `quiet` passes without a byte or `limit` is reached.
    std::vector<Arrival> readUntilQuiet(std::chrono::milliseconds quiet,
                                        std::chrono::milliseconds limit);
    Bytes exchange(const Bytes& request,
                   std::chrono::milliseconds quiet = std::chrono::milliseconds{150});
    // True when the line reports a hang-up (end of file, EIO or POLLHUP) within `limit`.
    bool seesHangUp(std::chrono::milliseconds limit);

private:
    int fd_ = -1;
    std::chrono::steady_clock::time_point lastWrite_ = std::chrono::steady_clock::now();
};

Bytes joined(const std::vector<Arrival>& arrivals);

} // namespace torl7::sim::testing
