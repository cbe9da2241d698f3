// Reading a text file a person hands the tool (a settings file, and the files that come after
// it): a regular file only, so that a link to /dev/zero or a pipe with no writer is refused at
// once instead of filling the memory or waiting for ever; at most kMaxTextFileBytes; and in
// UTF-8, with a file saved as UTF-16 or UTF-32 named as such. Plain C++ over POSIX, no Qt.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace torl7 {

// 4 MiB: a settings file is about 3 KiB; a file a thousand times larger is not one of ours.
inline constexpr std::size_t kMaxTextFileBytes = 4 * 1024 * 1024;

struct TextFileRead {
    std::optional<std::string> text; // the bytes, as they are in the file
    bool missing = false;            // no such file: the window says "не найден"
    // When there is no text: why, in English for torl7-cli and in Russian for the window,
    // each following the file's name ("is not a regular file").
    std::string error;
    std::string errorRussian;
};

TextFileRead readTextFile(const std::string& utf8Path, std::size_t maxBytes = kMaxTextFileBytes);

// "UTF-16" or "UTF-32" when `bytes` are a text in one of those (by the byte-order mark, or the
// zero bytes of their first ASCII character); empty otherwise.
std::string_view wideEncodingOf(std::string_view bytes);

} // namespace torl7
