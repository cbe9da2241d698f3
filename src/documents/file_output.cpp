#include "documents/file_output.hpp"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace torl7 {

namespace fs = std::filesystem;

namespace {

// Symbolic links followed before the system's own limit would say the same.
constexpr int kMaxLinkHops = 40;

fs::path pathFromUtf8(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string reasonOf(int error) {
    return std::generic_category().message(error);
}

std::string notSaved(const std::string& shown, const std::string& reason) {
    return "Не удалось сохранить " + shown + ": " + reason;
}

fs::path folderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// Where the bytes for a name go: the name itself, or the end of its chain of symbolic links.
struct Target {
    fs::path file;
    bool exists = false;
    struct stat info {};
};

bool resolve(const std::string& utf8Path, Target& target, std::string& error) {
    if (utf8Path.empty() || !pathFromUtf8(utf8Path).has_filename()) {
        error = "Не задано имя файла.";
        return false;
    }
    fs::path at = pathFromUtf8(utf8Path);
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        // stat follows links, the /proc links to a pipe or a terminal behind /dev/stdout too.
        if (::stat(at.c_str(), &target.info) == 0) {
            target.exists = true;
            std::error_code ec;
            // A regular file is replaced in the folder it really lives in.
            target.file = S_ISREG(target.info.st_mode) ? fs::canonical(at, ec) : at;
            if (ec) {
                error = notSaved(utf8Path, ec.message());
                return false;
            }
            return true;
        }
        if (errno != ENOENT) {
            error = notSaved(utf8Path, reasonOf(errno));
            return false;
        }
        // Nothing there, or a link to nothing yet: the file is made where the link points.
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(at, ec))) {
            target.file = at;
            target.exists = false;
            return true;
        }
        const fs::path next = fs::read_symlink(at, ec);
        if (ec) {
            error = notSaved(utf8Path, ec.message());
            return false;
        }
        at = next.is_absolute() ? next : folderOf(at) / next;
    }
    error = notSaved(utf8Path, reasonOf(ELOOP));
    return false;
}

// A new file in `folder` that no one else uses; -1 with `error` set when none can be made.
int createTemporary(const fs::path& folder, const fs::path& name, fs::path& temporary,
                    std::string& error) {
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporary = folder / (u8"." + name.u8string() + u8"." +
                              fs::path(std::to_string(random())).u8string() + u8".tmp");
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return fd;
        }
        if (errno != EEXIST) {
            error =
                "Не удалось записать файл в папку " + utf8FromPath(folder) + ": " + reasonOf(errno);
            return -1;
        }
    }
    error = "Не удалось создать временный файл в папке " + utf8FromPath(folder);
    return -1;
}

// The whole of `bytes`; errno tells why not.
bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The checks that come before a regular file is written: its folder, and a file the user
// made read-only stays so.
bool regularTargetFault(const Target& target, const std::string& shown, std::string& error) {
    std::error_code ec;
    const fs::path folder = folderOf(target.file);
    if (!fs::is_directory(folder, ec)) {
        error = "Папка " + utf8FromPath(folder) + " не существует.";
        return true;
    }
    if (target.exists && ::access(target.file.c_str(), W_OK) != 0) {
        error = notSaved(shown, reasonOf(errno));
        return true;
    }
    return false;
}

bool checkedTarget(const std::string& utf8Path, Target& target, std::string& error) {
    if (!resolve(utf8Path, target, error)) {
        return false;
    }
    if (target.exists && S_ISDIR(target.info.st_mode)) {
        error = "Не удалось сохранить: " + utf8Path + " - это папка.";
        return false;
    }
    return true;
}

// A device, pipe or terminal is written as it is; opening without waiting tells a pipe that
// no one reads from at once instead of blocking for ever.
bool writeDirectly(const Target& target, const std::string& shown, std::string_view bytes,
                   std::string& error) {
    const int fd = ::open(target.file.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = notSaved(shown, errno == ENXIO && S_ISFIFO(target.info.st_mode)
                                    ? std::string("из канала никто не читает")
                                    : reasonOf(errno));
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    const bool written = writeAll(fd, bytes);
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        error = notSaved(shown, reasonOf(written ? errno : writeError));
        return false;
    }
    return true;
}

} // namespace

std::string outputPathFault(const std::string& utf8Path) {
    std::string error;
    Target target;
    if (!checkedTarget(utf8Path, target, error)) {
        return error;
    }
    if (target.exists && !S_ISREG(target.info.st_mode)) {
        return ::access(target.file.c_str(), W_OK) == 0 ? std::string()
                                                        : notSaved(utf8Path, reasonOf(errno));
    }
    if (regularTargetFault(target, utf8Path, error)) {
        return error;
    }
    fs::path trial;
    const int fd = createTemporary(folderOf(target.file), target.file.filename(), trial, error);
    if (fd < 0) {
        return error;
    }
    ::close(fd);
    ::unlink(trial.c_str());
    return {};
}

std::string outputFolderFault(const std::string& utf8Folder) {
    fs::path folder = pathFromUtf8(utf8Folder.empty() ? std::string(".") : utf8Folder);
    std::error_code ec;
    while (!fs::exists(folder, ec)) {
        const fs::path parent = folder.has_parent_path() ? folder.parent_path() : fs::path(".");
        if (parent == folder) {
            break;
        }
        folder = parent;
    }
    if (!fs::is_directory(folder, ec)) {
        return "Не удалось создать папку " + utf8Folder + ": " +
               (fs::exists(folder, ec) ? reasonOf(ENOTDIR) : reasonOf(ENOENT));
    }
    fs::path trial;
    std::string error;
    const int fd = createTemporary(folder, u8"torl7", trial, error);
    if (fd < 0) {
        return error;
    }
    ::close(fd);
    ::unlink(trial.c_str());
    return {};
}

bool writeFileWhole(const std::string& utf8Path, std::string_view bytes, std::string& error) {
    FileSetWriter one;
    return one.stage(utf8Path, bytes, error) && one.commit(error);
}

FileSetWriter::~FileSetWriter() {
    discard();
}

bool FileSetWriter::stage(const std::string& utf8Path, std::string_view bytes, std::string& error) {
    Target target;
    if (!checkedTarget(utf8Path, target, error)) {
        return false;
    }
    if (target.exists && !S_ISREG(target.info.st_mode)) {
        return writeDirectly(target, utf8Path, bytes, error);
    }
    if (regularTargetFault(target, utf8Path, error)) {
        return false;
    }
    const fs::path folder = folderOf(target.file);
    fs::path temporary;
    const int fd = createTemporary(folder, target.file.filename(), temporary, error);
    if (fd < 0) {
        return false;
    }
    if (target.exists) {
        // The owner first: a change of owner clears the set-id bits of the mode.
        if (::fchown(fd, target.info.st_uid, target.info.st_gid) != 0) {
            [[maybe_unused]] const int groupOnly =
                ::fchown(fd, static_cast<uid_t>(-1), target.info.st_gid);
        }
        ::fchmod(fd, target.info.st_mode & 07777);
    }
    // On the disk before the rename: a crash then leaves the old file or the whole new one.
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        const int reason = written ? errno : writeError;
        ::unlink(temporary.c_str());
        error =
            "Не удалось записать файл в папку " + utf8FromPath(folder) + ": " + reasonOf(reason);
        return false;
    }
    staged_.push_back({temporary, target.file, utf8Path});
    return true;
}

bool FileSetWriter::commit(std::string& error) {
    for (std::size_t i = 0; i < staged_.size(); ++i) {
        if (::rename(staged_[i].temporary.c_str(), staged_[i].target.c_str()) != 0) {
            error = notSaved(staged_[i].shown, reasonOf(errno));
            staged_.erase(staged_.begin(), staged_.begin() + static_cast<std::ptrdiff_t>(i));
            discard();
            return false;
        }
    }
    staged_.clear();
    return true;
}

void FileSetWriter::discard() {
    for (const Staged& s : staged_) {
        ::unlink(s.temporary.c_str());
    }
    staged_.clear();
}

} // namespace torl7
