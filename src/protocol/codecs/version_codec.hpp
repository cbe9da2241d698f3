// The firmware version text the unit returns for request kind 15: 16 Windows-1251
// characters, no terminator. Pure.
#pragma once

#include "protocol/encodings.hpp"

#include <string>
#include <string_view>

namespace torl7 {

inline constexpr std::size_t kVersionTextSize = 16;

// Payload bytes 0..15 as UTF-8, unchanged and untrimmed; positions a short answer did not
// reach are the zero bytes of the cleared receive area.
std::string decodeVersionText(ByteSpan payload);
// The unit's side: the text in Windows-1251, blank-padded or cut to 16 bytes.
Bytes encodeVersionText(std::string_view utf8);

} // namespace torl7
