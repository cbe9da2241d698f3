// Writing files where the user pointed, and only there, so that a name never holds half of a
// file. A regular file (new, or reached through symbolic links, which stay as they are) is
// written to a temporary file in its own folder, which is then renamed into place with the old
// file's mode and, where the process may set it, its owner. A device, a pipe or a terminal
// (`-o /dev/stdout`) takes the bytes directly and is never replaced; a folder is refused.
// Every failure is one Russian message naming the file or folder and the system's reason.
// Plain C++ over POSIX, no Qt.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace torl7 {

// Empty when `utf8Path` can be written as writeFileWhole writes it (a trial file is made and
// removed again in its folder); otherwise the message the write would fail with. Commands
// that read the unit first ask this before they ask the unit anything.
std::string outputPathFault(const std::string& utf8Path);

// The same for a folder that files will be written into; a folder that does not exist yet is
// made by the writer, so the nearest existing folder above it must take new files.
std::string outputFolderFault(const std::string& utf8Folder);

// False with the message when the folder does not exist, the name is a folder, the file is
// read-only, or creating, writing or renaming fails; the old file then stays as it was.
bool writeFileWhole(const std::string& utf8Path, std::string_view bytes, std::string& error);

// Files that belong together (a COMTRADE .cfg and its .dat, the files of a service bundle)
// are replaced together: each is staged beside its target, and only when every one of them
// was written are they renamed into place. A writer that is not committed removes what it
// staged, so a failure part-way leaves every old file of the set as it was.
class FileSetWriter {
public:
    FileSetWriter() = default;
    FileSetWriter(const FileSetWriter&) = delete;
    FileSetWriter& operator=(const FileSetWriter&) = delete;
    ~FileSetWriter();

    // Writes the bytes to a temporary file beside `utf8Path` (a device or pipe takes them at
    // once). False with the message, as writeFileWhole says it.
    bool stage(const std::string& utf8Path, std::string_view bytes, std::string& error);
    // Renames every staged file into place.
    bool commit(std::string& error);
    // Removes what was staged.
    void discard();

private:
    struct Staged {
        std::filesystem::path temporary;
        std::filesystem::path target;
        std::string shown; // the name the user gave, for messages
    };
    std::vector<Staged> staged_;
};

} // namespace torl7
