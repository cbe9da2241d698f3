#include "documents/text_file.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace torl7 {

namespace {

TextFileRead refused(std::string english, std::string russian) {
    TextFileRead read;
    read.error = std::move(english);
    read.errorRussian = std::move(russian);
    return read;
}

TextFileRead systemFault(int error) {
    TextFileRead read = refused("cannot be read: " + std::generic_category().message(error),
                                "не читается: " + std::generic_category().message(error));
    read.missing = error == ENOENT;
    if (read.missing) {
        read.error = "not found";
        read.errorRussian = "не найден";
    }
    return read;
}

} // namespace

std::string_view wideEncodingOf(std::string_view bytes) {
    const auto at = [&](std::size_t i) {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u;
    };
    if ((at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0) ||
        (at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF) ||
        (at(0) != 0 && at(0) < 0x80 && at(1) == 0 && at(2) == 0 && at(3) == 0) ||
        (at(0) == 0 && at(1) == 0 && at(2) == 0 && at(3) != 0 && at(3) < 0x80)) {
        return "UTF-32";
    }
    if ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF) ||
        (at(0) != 0 && at(0) < 0x80 && at(1) == 0) || (at(0) == 0 && at(1) != 0 && at(1) < 0x80)) {
        return "UTF-16";
    }
    return {};
}

TextFileRead readTextFile(const std::string& utf8Path, std::size_t maxBytes) {
    // Opening a pipe without waiting for a writer; a regular file reads as ever.
    const int fd = ::open(utf8Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return systemFault(errno);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return systemFault(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return refused("is a folder", "это папка");
    }
    if (!S_ISREG(info.st_mode)) {
        return refused("is not a regular file (a device, pipe or socket)",
                       "это не обычный файл (устройство, канал или сокет)");
    }
    const std::string mebibytes = std::to_string(maxBytes / (1024 * 1024));
    const auto tooLarge = [&] {
        return refused("is larger than " + mebibytes + " MiB", "больше " + mebibytes + " МиБ");
    };
    if (static_cast<std::size_t>(info.st_size) > maxBytes) {
        return tooLarge();
    }
    // Files whose size the system does not know (those of /proc) are read up to the limit too.
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return systemFault(errno);
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > maxBytes) {
            return tooLarge();
        }
    }
    if (const std::string_view wide = wideEncodingOf(text); !wide.empty()) {
        return refused("is saved as " + std::string(wide) + ": save it as UTF-8",
                       "записан в кодировке " + std::string(wide) + ": сохраните его в UTF-8");
    }
    TextFileRead read;
    read.text = std::move(text);
    return read;
}

} // namespace torl7
