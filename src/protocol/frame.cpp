#include "protocol/frame.hpp"

#include <algorithm>
#include <cstddef>

namespace torl7 {

std::uint32_t frameSum(ByteSpan bytes) {
    std::uint32_t sum = 0;
    for (std::uint8_t b : bytes) {
        sum += b;
    }
    return sum;
}

Bytes buildFrame(std::uint16_t factoryNumber, std::uint8_t command, ByteSpan payload) {
    const std::size_t length = std::min(payload.size(), kMaxPayload);
    Bytes frame;
    frame.reserve(length + kFrameOverhead);
    frame.push_back(kSync);
    frame.push_back(kFixedByte);
    frame.push_back(static_cast<std::uint8_t>(factoryNumber >> 8));
    frame.push_back(static_cast<std::uint8_t>(factoryNumber & 0xFF));
    frame.push_back(command);
    frame.push_back(static_cast<std::uint8_t>(length));
    frame.insert(frame.end(), payload.begin(),
                 payload.begin() + static_cast<std::ptrdiff_t>(length));
    // At most 253 bytes of at most 255 each: the sum always fits a word.
    const std::uint32_t sum = frameSum(frame);
    frame.push_back(static_cast<std::uint8_t>(sum >> 8));
    frame.push_back(static_cast<std::uint8_t>(sum & 0xFF));
    return frame;
}

std::optional<Frame> parseFrame(ByteSpan bytes) {
    if (bytes.size() < kFrameOverhead || bytes[0] != kSync) {
        return std::nullopt;
    }
    const std::size_t length = bytes[5];
    if (bytes.size() != length + kFrameOverhead) {
        return std::nullopt;
    }
    const std::uint32_t sum = frameSum(bytes.first(length + kHeaderSize));
    const std::uint32_t sent = std::uint32_t{bytes[length + 6]} << 8 | bytes[length + 7];
    if (sum != sent) {
        return std::nullopt;
    }
    return Frame(Bytes(bytes.begin(), bytes.end()));
}

} // namespace torl7
