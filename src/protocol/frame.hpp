// The unit's frame: AA 06, factory number (word), command, payload length L, payload,
// then the plain sum of the L + 6 preceding bytes as a word. Pure: no Qt, no I/O.
#pragma once

#include "protocol/encodings.hpp"

#include <cstdint>

namespace torl7 {

inline constexpr std::uint8_t kSync = 0xAA;
inline constexpr std::uint8_t kFixedByte = 6;
inline constexpr std::size_t kHeaderSize = 6;
inline constexpr std::size_t kFrameOverhead = 8; // header and checksum

// Factory numbers the unit can carry; the tool's number fields hold these limits.
inline constexpr int kMinFactoryNumber = 100;
inline constexpr int kMaxFactoryNumber = 65535;

// Sum of the bytes as unsigned values, without reduction.
std::uint32_t frameSum(ByteSpan bytes);

// Longest payload a frame may carry: the receive area holds 255 bytes, and the sum of a
// longer frame would no longer fit its word. The largest request has 81 payload bytes, the
// largest answer (an event block) 241.
inline constexpr std::size_t kMaxPayload = 247;
inline constexpr std::size_t kMaxFrame = kMaxPayload + kFrameOverhead; // 255

// A complete frame for the unit `factoryNumber` (sent as a word) and `command`; requests and
// the simulated unit's answers have the same shape. A payload longer than kMaxPayload is cut
// to it (no caller builds one).
Bytes buildFrame(std::uint16_t factoryNumber, std::uint8_t command, ByteSpan payload);

// A verified frame as it arrived: its bytes from the sync byte to the checksum.
class Frame {
public:
    explicit Frame(Bytes bytes) : bytes_(std::move(bytes)) {}

    std::uint16_t factoryNumber() const {
        return static_cast<std::uint16_t>(bytes_[2] << 8 | bytes_[3]);
    }
    std::uint8_t command() const { return bytes_[4]; }
    std::uint8_t length() const { return bytes_[5]; }
    ByteSpan payload() const { return ByteSpan(bytes_).subspan(kHeaderSize, length()); }
    PayloadReader reader() const { return PayloadReader(payload()); }
    const Bytes& bytes() const { return bytes_; }

    bool operator==(const Frame&) const = default;

private:
    Bytes bytes_;
};

// Checks a candidate frame: sync byte, length within the bytes given, and the checksum.
// The fixed byte and the factory number are not examined, as the unit's answers are not.
std::optional<Frame> parseFrame(ByteSpan bytes);

} // namespace torl7
