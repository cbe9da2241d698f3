// An OOXML package (a ZIP archive of XML parts) held in memory: read whole (libzip), written
// part by part (zlib). Plain C++; nothing here touches the file system.
#pragma once

#include "protocol/encodings.hpp"

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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

// Packs parts, one after another, into a ZIP archive held in memory. A part either comes whole
// or is handed over in pieces as it is produced (the document text, straight from the XML
// writer), so the unpacked text of a large part never has to exist in one piece. Entries carry
// their CRC and sizes in the local header (no data descriptor), as Word expects.
class PackageWriter {
public:
    // `modified` stamps every entry (a fixed stamp makes the archive reproducible); without it
    // the entries carry the present time.
    explicit PackageWriter(std::optional<std::time_t> modified);
    ~PackageWriter();
    PackageWriter(const PackageWriter&) = delete;
    PackageWriter& operator=(const PackageWriter&) = delete;

    // Adds a whole part: deflated, or stored when it is too small to gain from it.
    bool addPart(std::string_view name, std::string_view data);

    // Adds a deflated part whose bytes come through write() calls until endPart().
    bool beginPart(std::string_view name);
    void write(std::string_view piece);
    bool endPart();

    // The archive; false (and nothing) after any failure, with a message in error().
    bool finish(Bytes& archive);

    const std::string& error() const { return error_; }

private:
    struct Entry {
        std::string name;
        std::uint32_t offset = 0; // of its local header
        std::uint32_t crc = 0;
        std::uint32_t packedSize = 0;
        std::uint32_t size = 0;
        bool deflated = false;
    };
    struct Deflater;

    bool fail(std::string message);
    bool openEntry(std::string_view name, bool deflated);
    bool deflateInto(int flush);
    bool closeEntry();

    // The entries' time stamp, as MS-DOS time and date.
    std::uint16_t dosTime_ = 0;
    std::uint16_t dosDate_ = 0;
    Bytes archive_;
    std::vector<Entry> entries_;
    std::unique_ptr<Deflater> deflater_;
    bool inPart_ = false;
    std::string error_;
};

// Packs the parts, in order, into a new archive (PackageWriter::addPart for each). False with
// a message when packing fails or there is nothing to pack.
bool writePackage(const std::vector<PackagePart>& parts, std::optional<std::time_t> modified,
                  Bytes& archive, std::string& error);

} // namespace torl7
