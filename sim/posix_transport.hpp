// The two POSIX channels of the simulated unit: a pseudo-terminal it creates, and a real
// serial port it opens. Both throw std::system_error when the line cannot be set up.
#pragma once

#include "sim/transport.hpp"

#include <string>

namespace torl7::sim {

// A file descriptor with a self-pipe, so that a read blocked on another thread can be woken.
class FdChannel {
public:
    FdChannel();
    ~FdChannel();
    FdChannel(const FdChannel&) = delete;
    FdChannel& operator=(const FdChannel&) = delete;

    void attach(int fd); // takes ownership; closes the previous one
    void close();
    int fd() const { return fd_; }

    std::optional<Bytes> read(std::chrono::milliseconds timeout);
    // All bytes or false. A peer that takes nothing for `stallLimit` loses the rest: the
    // unit on a real line never waits for its listener either.
    bool write(ByteSpan bytes, std::chrono::milliseconds stallLimit);
    void interrupt();

private:
    int fd_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
};

// A pseudo-terminal: the tool opens the slave side (portPath()), the unit serves the master.
// A handle on the slave side stays open, so the tool may close and reopen the port while the
// master keeps working; through it the unit also reads the speed the tool set.
class PtyTransport final : public Transport {
public:
    // The line starts raw at `initialSpeedBaud`, so that a client which never sets a speed
    // talks to the unit at its own.
    explicit PtyTransport(int initialSpeedBaud);
    ~PtyTransport() override;

    std::string portPath() const override { return path_; }
    std::optional<Bytes> read(std::chrono::milliseconds timeout) override;
    bool write(ByteSpan bytes) override;
    std::optional<int> lineSpeedBaud() override;
    void setLineSpeedBaud(int baud) override { speedForNewLine_ = baud; }
    bool hangUp() override;
    void interrupt() override { master_.interrupt(); }

private:
    void open();
    void closeSlave();

    FdChannel master_;
    int slave_ = -1;
    std::string path_;
    int speedForNewLine_;
};

// A real serial port at the unit's speed, raw 8N1 and held exclusively.
class DeviceTransport final : public Transport {
public:
    DeviceTransport(std::string path, int speedBaud);

    std::string portPath() const override { return path_; }
    std::optional<Bytes> read(std::chrono::milliseconds timeout) override;
    bool write(ByteSpan bytes) override;
    std::optional<int> lineSpeedBaud() override;
    void setLineSpeedBaud(int baud) override;
    // Drops DTR and RTS for a moment, as a modem or an adapter that goes away does.
    bool hangUp() override;
    void interrupt() override { port_.interrupt(); }

private:
    FdChannel port_;
    std::string path_;
};

} // namespace torl7::sim
