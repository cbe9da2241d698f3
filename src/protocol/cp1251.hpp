// Windows-1251, the code page of the unit's 16-character texts. Pure.
#pragma once

#include "protocol/encodings.hpp"

#include <string>
#include <string_view>

namespace torl7 {

// The unit's bytes as UTF-8. Every byte has a character (0x98, unassigned in the code page,
// stands for U+0098), so whatever the unit holds can be shown and written back unchanged.
std::string decodeCp1251(ByteSpan bytes);

// UTF-8 text as code-page bytes; a character the code page lacks, or a broken UTF-8
// sequence, becomes '?'.
Bytes encodeCp1251(std::string_view utf8);

// Number of characters (code points) of a UTF-8 text; a broken byte counts as one.
std::size_t utf8Length(std::string_view utf8);

} // namespace torl7
