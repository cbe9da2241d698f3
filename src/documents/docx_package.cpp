#include "documents/docx_package.hpp"

#include <zip.h>

#include <memory>

namespace torl7 {
namespace {

constexpr std::size_t kStoredPartBytes = 4096;

struct ZipErrorGuard {
    zip_error_t error;
    ZipErrorGuard() { zip_error_init(&error); }
    ~ZipErrorGuard() { zip_error_fini(&error); }
    ZipErrorGuard(const ZipErrorGuard&) = delete;
    ZipErrorGuard& operator=(const ZipErrorGuard&) = delete;
    std::string text() { return zip_error_strerror(&error); }
};

struct DiscardArchive {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ArchivePtr = std::unique_ptr<zip_t, DiscardArchive>;

struct CloseFile {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using FilePtr = std::unique_ptr<zip_file_t, CloseFile>;

struct FreeSource {
    void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using SourcePtr = std::unique_ptr<zip_source_t, FreeSource>;

bool readEntry(zip_t* archive, zip_uint64_t index, std::size_t maxBytes, std::size_t& total,
               PackagePart& part, std::string& error) {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, index, 0, &stat) != 0 || (stat.valid & ZIP_STAT_NAME) == 0 ||
        (stat.valid & ZIP_STAT_SIZE) == 0) {
        error = "Повреждён архив документа: " + std::string(zip_strerror(archive));
        return false;
    }
    part.name = stat.name;
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && stat.encryption_method != ZIP_EM_NONE) {
        error = "Документ зашифрован: " + part.name;
        return false;
    }
    if (stat.size > maxBytes - total) {
        error = "Документ слишком велик.";
        return false;
    }
    FilePtr file(zip_fopen_index(archive, index, 0));
    if (!file) {
        error = "Не удалось распаковать " + part.name + ": " + zip_strerror(archive);
        return false;
    }
    part.data.resize(static_cast<std::size_t>(stat.size));
    std::size_t done = 0;
    while (done < part.data.size()) {
        const zip_int64_t got = zip_fread(file.get(), part.data.data() + done,
                                          static_cast<zip_uint64_t>(part.data.size() - done));
        if (got <= 0) {
            error = "Не удалось распаковать " + part.name + ": " + zip_file_strerror(file.get());
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    total += part.data.size();
    return true;
}

} // namespace

bool readPackage(ByteSpan archiveBytes, std::vector<PackagePart>& parts, std::string& error,
                 std::size_t maxBytes) {
    parts.clear();
    ZipErrorGuard zipError;
    SourcePtr source(
        zip_source_buffer_create(archiveBytes.data(), archiveBytes.size(), 0, &zipError.error));
    if (!source) {
        error = "Не удалось прочитать документ: " + zipError.text();
        return false;
    }
    ArchivePtr archive(zip_open_from_source(source.get(), ZIP_RDONLY, &zipError.error));
    if (!archive) {
        error = "Файл не является документом DOCX: " + zipError.text();
        return false;
    }
    source.release(); // the archive owns its source from here on

    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    std::size_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        PackagePart part;
        if (!readEntry(archive.get(), static_cast<zip_uint64_t>(i), maxBytes, total, part, error)) {
            parts.clear();
            return false;
        }
        if (!part.name.empty() && part.name.back() == '/') {
            continue;
        }
        parts.push_back(std::move(part));
    }
    return true;
}

bool writePackage(const std::vector<PackagePart>& parts, std::optional<std::time_t> modified,
                  Bytes& archiveBytes, std::string& error) {
    archiveBytes.clear();
    if (parts.empty()) {
        error = "Пустой документ: нечего сохранять.";
        return false;
    }
    ZipErrorGuard zipError;
    SourcePtr buffer(zip_source_buffer_create(nullptr, 0, 0, &zipError.error));
    if (!buffer) {
        error = "Не удалось создать архив документа: " + zipError.text();
        return false;
    }
    ArchivePtr archive(zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &zipError.error));
    if (!archive) {
        error = "Не удалось создать архив документа: " + zipError.text();
        return false;
    }
    // The archive frees its source when it is closed; keep the buffer to read the result.
    zip_source_keep(buffer.get());

    for (const PackagePart& part : parts) {
        zip_source_t* data =
            zip_source_buffer(archive.get(), part.data.data(), part.data.size(), 0);
        if (data == nullptr) {
            error = "Не удалось упаковать " + part.name + ": " + zip_strerror(archive.get());
            return false;
        }
        const zip_int64_t index =
            zip_file_add(archive.get(), part.name.c_str(), data, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(data);
            error = "Не удалось упаковать " + part.name + ": " + zip_strerror(archive.get());
            return false;
        }
        const auto entry = static_cast<zip_uint64_t>(index);
        // The fastest deflate level: the parts are repetitive XML, so it still packs a report
        // to a few per cent of its size, in a fraction of level 6's time. A part of a few
        // hundred bytes is stored: setting up deflate for it (a fresh 256 KiB hash table each
        // time) costs more than the bytes it would save.
        const bool small = part.data.size() < kStoredPartBytes;
        if (zip_set_file_compression(archive.get(), entry, small ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                     small ? 0 : 1) != 0 ||
            (modified && zip_file_set_mtime(archive.get(), entry, *modified, 0) != 0)) {
            error = "Не удалось упаковать " + part.name + ": " + zip_strerror(archive.get());
            return false;
        }
    }
    if (zip_close(archive.get()) != 0) {
        error = "Не удалось упаковать документ: " + std::string(zip_strerror(archive.get()));
        return false;
    }
    archive.release(); // closed and freed by zip_close

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_source_stat(buffer.get(), &stat) != 0 || (stat.valid & ZIP_STAT_SIZE) == 0 ||
        zip_source_open(buffer.get()) != 0) {
        error = "Не удалось прочитать упакованный документ.";
        return false;
    }
    archiveBytes.resize(static_cast<std::size_t>(stat.size));
    const zip_int64_t got = zip_source_read(buffer.get(), archiveBytes.data(), stat.size);
    zip_source_close(buffer.get());
    if (got < 0 || static_cast<zip_uint64_t>(got) != stat.size) {
        archiveBytes.clear();
        error = "Не удалось прочитать упакованный документ.";
        return false;
    }
    return true;
}

} // namespace torl7
