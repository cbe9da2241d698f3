#include "documents/docx_package.hpp"

#include <zip.h>

#include <memory>

namespace torl7 {
namespace {

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

} // namespace torl7
