#include "protocol/codecs/version_codec.hpp"

#include "protocol/codecs/config_record_codec.hpp"
#include "protocol/cp1251.hpp"

namespace torl7 {

std::string decodeVersionText(ByteSpan payload) {
    return decodeCp1251(PayloadReader(payload).bytes(0, kVersionTextSize));
}

Bytes encodeVersionText(std::string_view utf8) {
    const UnitText text = unitText16(utf8);
    return Bytes(text.begin(), text.end());
}

} // namespace torl7
