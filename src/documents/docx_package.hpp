// An OOXML package (a ZIP archive of XML parts) held in memory: read whole, written whole.
// Plain C++ over libzip; nothing here touches the file system.
#pragma once

#include "protocol/encodings.hpp"

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace torl7 {

// One file of the package: its name inside the archive ("word/document.xml") and its bytes.
struct PackagePart {
    std::string name;
    std::string data;
};

// A package larger than this, unpacked, is refused: a report template is a few tens of
// kilobytes, and a damaged or hostile archive must not make the tool allocate gigabytes.
inline constexpr std::size_t kMaxPackageBytes = 64u * 1024u * 1024u;

// Reads every file of the archive, in archive order; directory entries are skipped.
// False with a message for a damaged or encrypted archive or one that unpacks to more than
// `maxBytes`.
bool readPackage(ByteSpan archive, std::vector<PackagePart>& parts, std::string& error,
                 std::size_t maxBytes = kMaxPackageBytes);

// Packs the parts, in order and deflated, into a new archive. `modified` stamps every entry
// (a fixed stamp makes the archive reproducible); without it the entries carry the present
// time. False with a message when libzip fails or there is nothing to pack.
bool writePackage(const std::vector<PackagePart>& parts, std::optional<std::time_t> modified,
                  Bytes& archive, std::string& error);

} // namespace torl7
