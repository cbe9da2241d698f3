// The ZIP writing half of the package: local header, data, and at the end the central
// directory, in the plain 32-bit format (a report is far below its 4 GiB limits).
#include "documents/docx_package.hpp"
#include "documents/recycled_memory.hpp"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <tuple>

namespace torl7 {
namespace {

// A part of a few hundred bytes is stored: setting up deflate for it costs more than the
// bytes it would save.
constexpr std::size_t kStoredPartBytes = 4096;
// The fastest deflate level: the parts are repetitive XML, so it still packs a report to a few
// per cent of its size, in a fraction of level 6's time.
constexpr int kDeflateLevel = 1;
constexpr std::uint16_t kFastDeflateFlag = 0x0004; // general purpose bits 1-2: fast
constexpr std::uint16_t kUtf8NameFlag = 0x0800;
constexpr std::uint16_t kMadeByUnix20 = (3u << 8) | 20u;
constexpr std::uint32_t kRegularFileAttributes = 0100666u << 16;
constexpr std::size_t kLocalHeaderBytes = 30;
constexpr std::size_t kMaxEntries = 0xFFFF;
constexpr std::size_t kMaxOffset = std::numeric_limits<std::uint32_t>::max();

void put16(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(Bytes& out, std::uint32_t value) {
    put16(out, value & 0xFFFFu);
    put16(out, value >> 16);
}

void set32(Bytes& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// MS-DOS date and time of `when` in local time, as ZIP tools show it: {time, date}.
std::pair<std::uint16_t, std::uint16_t> dosTime(std::time_t when) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &when);
#else
    localtime_r(&when, &local);
#endif
    if (local.tm_year < 80) { // before 1980 a DOS date cannot say
        return {0, (1u << 5) | 1u};
    }
    const auto time = static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) |
                                                 (local.tm_sec / 2));
    const auto date = static_cast<std::uint16_t>(((local.tm_year - 80) << 9) |
                                                 ((local.tm_mon + 1) << 5) | local.tm_mday);
    return {time, date};
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

// One deflate state for every deflated part of the archive, its memory from the engine's store.
struct PackageWriter::Deflater {
    z_stream stream{};
    bool ready = false;
    std::uint32_t crc = 0;
    std::size_t size = 0;

    Deflater() {
        stream.zalloc = [](voidpf, uInt items, uInt size) -> voidpf {
            return engineMemory().allocate(static_cast<std::size_t>(items) * size);
        };
        stream.zfree = [](voidpf, voidpf block) { engineMemory().release(block); };
        // Raw deflate (negative window bits): the ZIP entry carries the CRC itself.
        ready = deflateInit2(&stream, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, 8,
                             Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (ready) {
            deflateEnd(&stream);
        }
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
};

PackageWriter::PackageWriter(std::optional<std::time_t> modified) {
    std::tie(dosTime_, dosDate_) = dosTime(modified.value_or(std::time(nullptr)));
}

PackageWriter::~PackageWriter() = default;

bool PackageWriter::fail(std::string message) {
    if (error_.empty()) {
        error_ = std::move(message);
    }
    return false;
}

bool PackageWriter::openEntry(std::string_view name, bool deflated) {
    if (!error_.empty()) {
        return false;
    }
    if (inPart_) {
        return fail("Не удалось упаковать " + std::string(name) +
                    ": предыдущая часть не закончена.");
    }
    if (name.empty() || name.size() > 0xFFFF || entries_.size() >= kMaxEntries ||
        archive_.size() > kMaxOffset) {
        return fail("Не удалось упаковать " + std::string(name) + ".");
    }
    if (deflated) {
        if (!deflater_) {
            deflater_ = std::make_unique<Deflater>();
        } else if (deflater_->ready) {
            deflater_->ready = deflateReset(&deflater_->stream) == Z_OK;
        }
        if (!deflater_->ready) {
            return fail("Не удалось упаковать " + std::string(name) + ": нет памяти для сжатия.");
        }
        deflater_->crc = static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0));
        deflater_->size = 0;
    }
    Entry entry;
    entry.name = std::string(name);
    entry.offset = static_cast<std::uint32_t>(archive_.size());
    entry.deflated = deflated;
    // The CRC and sizes are filled in when the part is closed.
    put32(archive_, 0x04034b50u);
    put16(archive_, deflated ? 20 : 10);
    put16(archive_, (deflated ? kFastDeflateFlag : 0) | (isAscii(name) ? 0 : kUtf8NameFlag));
    put16(archive_, deflated ? Z_DEFLATED : 0);
    put16(archive_, dosTime_);
    put16(archive_, dosDate_);
    put32(archive_, 0);
    put32(archive_, 0);
    put32(archive_, 0);
    put16(archive_, static_cast<std::uint32_t>(name.size()));
    put16(archive_, 0);
    archive_.insert(archive_.end(), name.begin(), name.end());
    entries_.push_back(std::move(entry));
    return true;
}

bool PackageWriter::closeEntry() {
    Entry& entry = entries_.back();
    const std::size_t dataStart = entry.offset + kLocalHeaderBytes + entry.name.size();
    const std::size_t packed = archive_.size() - dataStart;
    if (packed > kMaxOffset || archive_.size() > kMaxOffset) {
        return fail("Документ слишком велик.");
    }
    entry.packedSize = static_cast<std::uint32_t>(packed);
    set32(archive_, entry.offset + 14, entry.crc);
    set32(archive_, entry.offset + 18, entry.packedSize);
    set32(archive_, entry.offset + 22, entry.size);
    return true;
}

bool PackageWriter::deflateInto(int flush) {
    z_stream& stream = deflater_->stream;
    for (;;) {
        if (archive_.capacity() - archive_.size() < 4096) {
            archive_.reserve(archive_.capacity() +
                             std::max<std::size_t>(archive_.capacity(), 16384));
        }
        const std::size_t used = archive_.size();
        const std::size_t room = std::min<std::size_t>(archive_.capacity() - used, 1u << 30);
        archive_.resize(used + room);
        stream.next_out = archive_.data() + used;
        stream.avail_out = static_cast<uInt>(room);
        const int result = deflate(&stream, flush);
        archive_.resize(used + room - stream.avail_out);
        if (result == Z_STREAM_END) {
            return true;
        }
        if (result != Z_OK && result != Z_BUF_ERROR) {
            return fail("Не удалось сжать " + entries_.back().name + ".");
        }
        if (flush == Z_NO_FLUSH && stream.avail_in == 0) {
            return true;
        }
    }
}

bool PackageWriter::addPart(std::string_view name, std::string_view data) {
    if (data.size() >= kStoredPartBytes) {
        if (!beginPart(name)) {
            return false;
        }
        write(data);
        return endPart();
    }
    if (!openEntry(name, false)) {
        return false;
    }
    Entry& entry = entries_.back();
    entry.crc = static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    entry.size = static_cast<std::uint32_t>(data.size());
    archive_.insert(archive_.end(), data.begin(), data.end());
    return closeEntry();
}

bool PackageWriter::beginPart(std::string_view name) {
    inPart_ = openEntry(name, true);
    return inPart_;
}

void PackageWriter::write(std::string_view piece) {
    if (!inPart_ || !error_.empty() || piece.empty()) {
        return;
    }
    if (piece.size() > kMaxOffset - deflater_->size) {
        fail("Документ слишком велик.");
        return;
    }
    // Pieces come from a writer's buffer: a few kilobytes each, well within zlib's uInt.
    const auto* bytes = reinterpret_cast<const Bytef*>(piece.data());
    deflater_->crc =
        static_cast<std::uint32_t>(crc32(deflater_->crc, bytes, static_cast<uInt>(piece.size())));
    deflater_->size += piece.size();
    deflater_->stream.next_in = const_cast<Bytef*>(bytes);
    deflater_->stream.avail_in = static_cast<uInt>(piece.size());
    deflateInto(Z_NO_FLUSH);
}

bool PackageWriter::endPart() {
    if (!inPart_) {
        return fail("Не удалось упаковать документ: часть не начата.");
    }
    inPart_ = false;
    if (!error_.empty() || !deflateInto(Z_FINISH)) {
        return false;
    }
    entries_.back().crc = deflater_->crc;
    entries_.back().size = static_cast<std::uint32_t>(deflater_->size);
    return closeEntry();
}

bool PackageWriter::finish(Bytes& archive) {
    archive.clear();
    if (inPart_) {
        return fail("Не удалось упаковать документ: часть не закончена.");
    }
    if (!error_.empty()) {
        return false;
    }
    if (entries_.empty()) {
        return fail("Пустой документ: нечего сохранять.");
    }
    const std::size_t directoryStart = archive_.size();
    for (const Entry& entry : entries_) {
        put32(archive_, 0x02014b50u);
        put16(archive_, kMadeByUnix20);
        put16(archive_, entry.deflated ? 20 : 10);
        put16(archive_,
              (entry.deflated ? kFastDeflateFlag : 0) | (isAscii(entry.name) ? 0 : kUtf8NameFlag));
        put16(archive_, entry.deflated ? Z_DEFLATED : 0);
        put16(archive_, dosTime_);
        put16(archive_, dosDate_);
        put32(archive_, entry.crc);
        put32(archive_, entry.packedSize);
        put32(archive_, entry.size);
        put16(archive_, static_cast<std::uint32_t>(entry.name.size()));
        put16(archive_, 0); // extra field
        put16(archive_, 0); // comment
        put16(archive_, 0); // disk
        put16(archive_, 0); // internal attributes
        put32(archive_, kRegularFileAttributes);
        put32(archive_, entry.offset);
        archive_.insert(archive_.end(), entry.name.begin(), entry.name.end());
    }
    const std::size_t directorySize = archive_.size() - directoryStart;
    if (archive_.size() > kMaxOffset) {
        return fail("Документ слишком велик.");
    }
    put32(archive_, 0x06054b50u);
    put16(archive_, 0);
    put16(archive_, 0);
    put16(archive_, static_cast<std::uint32_t>(entries_.size()));
    put16(archive_, static_cast<std::uint32_t>(entries_.size()));
    put32(archive_, static_cast<std::uint32_t>(directorySize));
    put32(archive_, static_cast<std::uint32_t>(directoryStart));
    put16(archive_, 0); // comment
    archive = std::move(archive_);
    archive_.clear();
    entries_.clear();
    return true;
}

bool writePackage(const std::vector<PackagePart>& parts, std::optional<std::time_t> modified,
                  Bytes& archive, std::string& error) {
    PackageWriter writer(modified);
    for (const PackagePart& part : parts) {
        if (!writer.addPart(part.name, part.data)) {
            break;
        }
    }
    if (!writer.finish(archive)) {
        error = writer.error();
        return false;
    }
    return true;
}

} // namespace torl7
