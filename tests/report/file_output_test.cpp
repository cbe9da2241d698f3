// Where the tool's output goes: the file the user pointed at, and only there. Each case lays
// something at a path, checks first (as commands do before they read the unit), writes, and
// looks at what the file system holds afterwards, read back with the system's own calls.
#include "documents/file_output.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

using namespace torl7;
namespace fs = std::filesystem;

namespace {

class Folder {
public:
    Folder() {
        char name[] = "/tmp/torl7-output-XXXXXX";
        path = ::mkdtemp(name);
    }
    ~Folder() { fs::remove_all(path); }
    fs::path path;
};

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void put(const fs::path& file, const std::string& text, mode_t mode = 0644) {
    std::ofstream(file, std::ios::binary) << text;
    ::chmod(file.c_str(), mode);
}

mode_t modeOf(const fs::path& file) {
    struct stat info {};
    ::stat(file.c_str(), &info);
    return info.st_mode;
}

std::size_t entries(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

} // namespace

TEST(FileOutput, writesWhereThePathPointsAndReplacesNothingElse) {
    const std::string bytes = "new contents\n";
    struct Case {
        const char* name;
        // Lays out the folder; returns the path handed to the writer.
        std::function<fs::path(const fs::path&)> lay;
        // nullptr: written; otherwise a part of the message, which the trial says too unless
        // only writing can tell (a pipe someone may still open, a full device).
        const char* fault;
        bool onlyWritingTells;
        std::size_t added; // new entries in the folder: no temporary file may stay
        // What must hold afterwards.
        std::function<void(const fs::path&)> check;
    };
    int reader = -1; // the reading end of the pipe case
    const std::string noSpace = std::generic_category().message(ENOSPC);
    const Case cases[] = {
        {"new file", [](auto& d) { return d / "a.json"; }, nullptr, false, 1,
         [&](auto& d) { EXPECT_EQ(contents(d / "a.json"), bytes); }},
        {"link to a file: the link stays, its target gets the bytes and keeps its mode",
         [](auto& d) {
             put(d / "target", "old", 0600);
             fs::create_symlink("target", d / "link");
             return d / "link";
         },
         nullptr, false, 0,
         [&](auto& d) {
             EXPECT_TRUE(fs::is_symlink(fs::symlink_status(d / "link")));
             EXPECT_EQ(contents(d / "target"), bytes);
             EXPECT_EQ(modeOf(d / "target") & 07777, 0600u);
         }},
        {"link to nothing yet: the file is made where it points",
         [](auto& d) {
             fs::create_symlink("made", d / "link");
             return d / "link";
         },
         nullptr, false, 1,
         [&](auto& d) {
             EXPECT_TRUE(fs::is_symlink(fs::symlink_status(d / "link")));
             EXPECT_EQ(contents(d / "made"), bytes);
         }},
        {"a file of mode 0640 keeps it",
         [](auto& d) {
             put(d / "f", "old", 0640);
             return d / "f";
         },
         nullptr, false, 0, [&](auto& d) { EXPECT_EQ(modeOf(d / "f") & 07777, 0640u); }},
        {"a pipe someone reads is written, not replaced",
         [&](auto& d) {
             ::mkfifo((d / "pipe").c_str(), 0600);
             reader = ::open((d / "pipe").c_str(), O_RDONLY | O_NONBLOCK);
             return d / "pipe";
         },
         nullptr, false, 0,
         [&](auto& d) {
             EXPECT_TRUE(fs::is_fifo(d / "pipe"));
             char got[64] = {};
             EXPECT_EQ(::read(reader, got, sizeof got), static_cast<ssize_t>(bytes.size()));
             EXPECT_EQ(std::string(got), bytes);
             ::close(reader);
         }},
        {"a pipe nobody reads is refused at once",
         [](auto& d) {
             ::mkfifo((d / "pipe").c_str(), 0600);
             return d / "pipe";
         },
         "никто не читает", true, 0, [](auto& d) { EXPECT_TRUE(fs::is_fifo(d / "pipe")); }},
        {"a device is written directly", [](auto&) { return fs::path("/dev/null"); }, nullptr,
         false, 0, [](auto&) { EXPECT_TRUE(fs::is_character_file("/dev/null")); }},
        {"a full device: the system's reason is named", [](auto&) { return fs::path("/dev/full"); },
         noSpace.c_str(), true, 0, nullptr},
        {"a folder", [](auto& d) { return d; }, "это папка", false, 0, nullptr},
        {"a missing folder", [](auto& d) { return d / "no" / "f.json"; }, "не существует", false, 0,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        const fs::path path = c.lay(folder.path);
        const std::string utf8 = path.string();
        const std::size_t before = entries(folder.path);
        const std::string trial = outputPathFault(utf8);
        EXPECT_EQ(entries(folder.path), before) << "the trial leaves nothing behind";
        std::string error;
        const bool written = writeFileWhole(utf8, bytes, error);
        if (c.fault == nullptr) {
            EXPECT_TRUE(written) << error;
        } else {
            EXPECT_FALSE(written);
            EXPECT_NE(error.find(c.fault), std::string::npos) << error;
        }
        if (c.fault == nullptr || c.onlyWritingTells) {
            EXPECT_TRUE(trial.empty()) << trial;
        } else {
            EXPECT_NE(trial.find(c.fault), std::string::npos) << trial;
        }
        EXPECT_EQ(entries(folder.path), before + c.added) << "no temporary file is left";
        if (c.check) {
            c.check(folder.path);
        }
    }
}

TEST(FileOutput, aSetIsReplacedWholeOrLeftAsItWas) {
    Folder folder;
    const fs::path cfg = folder.path / "w.cfg";
    const fs::path dat = folder.path / "w.dat";
    put(cfg, "old cfg");
    put(dat, "old dat");
    std::string error;
    {
        FileSetWriter set;
        ASSERT_TRUE(set.stage(cfg.string(), "new cfg", error)) << error;
        EXPECT_FALSE(set.stage((folder.path / "gone" / "w.dat").string(), "new dat", error));
    } // not committed
    EXPECT_EQ(contents(cfg), "old cfg") << "no new configuration beside the old data";
    EXPECT_EQ(entries(folder.path), 2u) << "the staged file is gone";

    FileSetWriter set;
    ASSERT_TRUE(set.stage(cfg.string(), "new cfg", error) &&
                set.stage(dat.string(), "new dat", error))
        << error;
    EXPECT_EQ(contents(cfg), "old cfg") << "nothing is in place before the commit";
    ASSERT_TRUE(set.commit(error)) << error;
    EXPECT_EQ(contents(cfg) + contents(dat), "new cfgnew dat");
}
