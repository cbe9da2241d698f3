// The tool's side of an RFC 2217 connection to an Ethernet serial server: negotiates the
// COM-PORT option (and binary data both ways), sets the serial side to the tool's speed and
// 8N1, escapes 0xFF in the data and undoes it on receipt. A speed change holds every byte
// written after it until the server has confirmed the speed, so that no request goes out at
// a speed the unit may not be listening at. Pure: the line hands it what it reads and sends
// what it returns.
#pragma once

#include "protocol/telnet.hpp"

#include <deque>
#include <optional>

namespace torl7::telnet {

class ComPortClient {
public:
    ComPortClient();

    // Our offers, the first bytes sent on the new connection.
    Bytes start();

    enum class Offer : std::uint8_t { Pending, Accepted, Refused };
    // Whether the server takes the COM-PORT option.
    Offer comPort() const;

    // The serial side's settings: `baud`, 8 data bits, no parity, one stop bit, no flow
    // control, DTR off and RTS on (the unit's RS-485 adapters take power or direction from
    // them), both buffers purged. The speed waits for its confirmation like any change.
    Bytes configure(std::uint32_t baud);

    // The command for a new speed; nothing when it is the speed asked for last.
    Bytes changeSpeed(std::uint32_t baud);

    // The serial bytes as they go to the server: escaped now, or held (and nothing returned)
    // while a speed change waits for its confirmation.
    Bytes send(ByteSpan data);

    struct Incoming {
        Bytes data;   // the serial line's bytes
        Bytes toSend; // answers to the server's negotiation, then data a confirmation released
    };
    Incoming receive(ByteSpan bytes);

    bool speedPending() const { return !awaited_.empty(); }
    std::size_t heldBytes() const { return held_.size(); }
    // The speed the server confirmed last.
    std::optional<std::uint32_t> confirmedBaud() const { return confirmed_; }

    // The server set another speed than the one asked for last: what was held is dropped.
    struct SpeedNotTaken {
        std::uint32_t asked = 0;
        std::uint32_t set = 0;
    };
    std::optional<SpeedNotTaken> speedNotTaken() const { return notTaken_; }

    // The most a speed change holds; a writer that goes beyond loses the excess.
    static constexpr std::size_t kMaxHeld = 64 * 1024;

private:
    void confirm(std::uint32_t baud, Bytes& toSend);

    Reader reader_;
    OptionTable options_;
    std::deque<std::uint32_t> awaited_; // speeds asked for and not confirmed yet, in order
    std::optional<std::uint32_t> lastAsked_;
    std::optional<std::uint32_t> confirmed_;
    std::optional<SpeedNotTaken> notTaken_;
    Bytes held_;
};

} // namespace torl7::telnet
