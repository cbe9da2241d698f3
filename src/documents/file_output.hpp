// Writing a file so that its name never holds half of it: the bytes go to a temporary file in
// the same folder, which is then renamed into place. A failure leaves the old file (or none)
// and no temporary behind. Plain C++, no Qt.
#pragma once

#include <string>
#include <string_view>

namespace torl7 {

// False with a message (Russian, naming the file) when the folder does not exist, the name is
// a folder, or writing or renaming fails.
bool writeFileWhole(const std::string& utf8Path, std::string_view bytes, std::string& error);

} // namespace torl7
