#include "documents/file_output.hpp"

#include <filesystem>
#include <fstream>
#include <random>

namespace torl7 {

namespace fs = std::filesystem;

namespace {

fs::path pathFromUtf8(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

bool writeFileWhole(const std::string& utf8Path, std::string_view bytes, std::string& error) {
    try {
        const fs::path target = pathFromUtf8(utf8Path);
        if (utf8Path.empty() || !target.has_filename()) {
            error = "Не задано имя файла.";
            return false;
        }
        const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) {
            error = "Папка " + utf8FromPath(folder) + " не существует.";
            return false;
        }
        if (fs::is_directory(target, ec)) {
            error = "Не удалось сохранить: " + utf8Path + " - это папка.";
            return false;
        }
        // The temporary name sits in the target folder, so the rename never crosses file
        // systems and either leaves the old file or puts the whole new one in its place.
        std::random_device random;
        fs::path temporary;
        for (int attempt = 0; attempt < 16 && temporary.empty(); ++attempt) {
            const fs::path candidate =
                folder / (u8"." + target.filename().u8string() + u8"." +
                          fs::path(std::to_string(random())).u8string() + u8".tmp");
            if (!fs::exists(candidate, ec)) {
                temporary = candidate;
            }
        }
        if (temporary.empty()) {
            error = "Не удалось создать временный файл в папке " + utf8FromPath(folder);
            return false;
        }
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            if (out) {
                out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
                out.close();
            }
            if (!out) {
                fs::remove(temporary, ec);
                error = "Не удалось записать файл в папку " + utf8FromPath(folder);
                return false;
            }
        }
        fs::rename(temporary, target, ec);
        if (ec) {
            const std::string reason = ec.message();
            fs::remove(temporary, ec);
            error = "Не удалось сохранить " + utf8Path + ": " + reason;
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        error = "Не удалось сохранить " + utf8Path + ": " + e.what();
        return false;
    }
}

} // namespace torl7
