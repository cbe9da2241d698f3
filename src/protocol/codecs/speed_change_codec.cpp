#include "protocol/codecs/speed_change_codec.hpp"

#include "protocol/frame.hpp"

namespace torl7 {

Bytes pingFrame(std::uint16_t factoryNumber) {
    return buildFrame(factoryNumber, kPingCommand, ByteSpan());
}

Bytes speedSetFrame(std::uint16_t factoryNumber, std::uint8_t speedIndex) {
    const std::uint8_t payload[] = {speedIndex};
    return buildFrame(factoryNumber, kPingCommand, payload);
}

} // namespace torl7
