// Telnet as an Ethernet serial server speaks it (RFC 854 framing, option negotiation, and the
// COM-PORT-OPTION of RFC 2217): the stream reader that splits the serial line's bytes from the
// server's commands, and the encoders of what the tool and the simulated server send. Pure;
// every byte from the network is untrusted, and a command may be cut at any byte between two
// reads.
#pragma once

#include "protocol/encodings.hpp"

#include <array>
#include <cstdint>
#include <variant>
#include <vector>

namespace torl7::telnet {

inline constexpr std::uint8_t kIac = 255;
inline constexpr std::uint8_t kDont = 254;
inline constexpr std::uint8_t kDo = 253;
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kWill = 251;
inline constexpr std::uint8_t kSb = 250;
inline constexpr std::uint8_t kSe = 240;

inline constexpr std::uint8_t kOptionBinary = 0;
inline constexpr std::uint8_t kOptionEcho = 1;
inline constexpr std::uint8_t kOptionSuppressGoAhead = 3;
inline constexpr std::uint8_t kOptionComPort = 44;

// COM-PORT-OPTION commands as the client sends them; the server answers each with the same
// command plus kServerReply and the value it has set.
namespace comport {
inline constexpr std::uint8_t kSetBaudRate = 1;
inline constexpr std::uint8_t kSetDataSize = 2;
inline constexpr std::uint8_t kSetParity = 3;
inline constexpr std::uint8_t kSetStopSize = 4;
inline constexpr std::uint8_t kSetControl = 5;
inline constexpr std::uint8_t kPurgeData = 12;
inline constexpr std::uint8_t kServerReply = 100;

inline constexpr std::uint8_t kParityNone = 1;
inline constexpr std::uint8_t kOneStopBit = 1;
inline constexpr std::uint8_t kNoFlowControl = 1;
inline constexpr std::uint8_t kDtrOff = 9;
inline constexpr std::uint8_t kRtsOn = 11;
inline constexpr std::uint8_t kPurgeBoth = 3;
} // namespace comport

// Longest subnegotiation kept; the rest of a longer one is dropped up to its end. The
// COM-PORT commands carry at most four bytes, a server's signature text a few dozen.
inline constexpr std::size_t kMaxSubnegotiation = 64;

// WILL, WONT, DO or DONT and the option it is about.
struct Negotiation {
    std::uint8_t verb = 0;
    std::uint8_t option = 0;
    bool operator==(const Negotiation&) const = default;
};

// IAC SB option payload IAC SE, with IAC IAC in the payload undone.
struct Subnegotiation {
    std::uint8_t option = 0;
    Bytes payload;
    bool cut = false; // it was longer than kMaxSubnegotiation: the payload is its beginning
    bool operator==(const Subnegotiation&) const = default;
};

using Command = std::variant<Negotiation, Subnegotiation>;

// Splits a Telnet stream into the data it carries and the commands among it. Keeps its state
// between reads, so a command or an escaped 0xFF cut by a segment boundary comes out whole.
class Reader {
public:
    // Appends the data bytes of `bytes` to `data` and the commands to `commands`. Other
    // two-byte commands (NOP, GA, a break, ...) carry nothing for a serial line and are left out.
    void feed(ByteSpan bytes, Bytes& data, std::vector<Command>& commands);
    // Between two connections.
    void reset();

private:
    enum class State : std::uint8_t { Data, Command, Option, SubOption, Sub, SubCommand };
    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    Subnegotiation sub_;
};

// The data as it goes over Telnet: every 0xFF doubled.
Bytes escapeData(ByteSpan data);
Bytes negotiation(std::uint8_t verb, std::uint8_t option);
// IAC SB option payload IAC SE, 0xFF in the payload doubled.
Bytes subnegotiation(std::uint8_t option, ByteSpan payload);
// A COM-PORT-OPTION command with its value.
Bytes comPortCommand(std::uint8_t command, ByteSpan value);
// The four bytes of a speed in a SET-BAUDRATE command, most significant first.
std::array<std::uint8_t, 4> baudValue(std::uint32_t baud);
std::uint32_t baudFromValue(ByteSpan value);

// The option state of one side of a connection (RFC 1143 without the queue): answers the
// peer's requests once, never in a loop, and remembers what was agreed.
class OptionTable {
public:
    // The options this side agrees to enable for itself (answering DO with WILL) and asks the
    // peer to enable (answering WILL with DO).
    OptionTable(std::vector<std::uint8_t> ourOptions, std::vector<std::uint8_t> theirOptions);

    // Our own offers and requests for the agreed options, to send when the connection opens.
    Bytes offers();
    // The peer's negotiation: what to answer (possibly nothing).
    Bytes answer(const Negotiation& negotiation);

    enum class State : std::uint8_t { No, Asked, Yes, Refused };
    State ours(std::uint8_t option) const { return ours_[option]; }
    State theirs(std::uint8_t option) const { return theirs_[option]; }

private:
    std::array<bool, 256> wantOurs_{};
    std::array<bool, 256> wantTheirs_{};
    std::array<State, 256> ours_{};
    std::array<State, 256> theirs_{};
};

} // namespace torl7::telnet
