// The byte channel the simulated unit serves: a pseudo-terminal, a real serial port, or an
// in-memory peer in tests. The serving loop uses nothing else of the operating system.
#pragma once

#include "protocol/encodings.hpp"

#include <chrono>
#include <optional>
#include <string>

namespace torl7::sim {

class Transport {
public:
    virtual ~Transport() = default;

    // The path the tool opens.
    virtual std::string portPath() const = 0;

    // Waits up to `timeout` for bytes and returns what has arrived (empty when nothing did, or
    // when interrupt() was called). Nothing when the channel has failed for good.
    virtual std::optional<Bytes> read(std::chrono::milliseconds timeout) = 0;

    // Writes all bytes and waits until they have left. False when the channel failed.
    virtual bool write(ByteSpan bytes) = 0;

    // The speed the line runs at now: for a pseudo-terminal the one the tool set on its side,
    // for a real port the one the unit set. Nothing when it cannot be read.
    virtual std::optional<int> lineSpeedBaud() = 0;

    // Moves the unit's side of the line to another speed. A pseudo-terminal has no line of its
    // own, so there it changes nothing.
    virtual void setLineSpeedBaud(int baud) = 0;

    // Takes the line away from the tool as a pulled cable or a dropped modem line would. A
    // pseudo-terminal comes back under a new path; portPath() tells it.
    virtual bool hangUp() = 0;

    // Makes a read() that is waiting on another thread return at once. Thread-safe.
    virtual void interrupt() = 0;
};

} // namespace torl7::sim
