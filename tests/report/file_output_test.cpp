// Where the tool's output goes: the file the user pointed at, and only there. Each case lays
// something at a path, tries it first (as commands do before they read the unit), writes, and
// looks at what the file system holds afterwards through the system's own calls.
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

std::string contents(const fs::path& file) {
    std::ostringstream all;
    all << std::ifstream(file, std::ios::binary).rdbuf();
    return all.str();
}

fs::path put(const fs::path& file, mode_t mode) {
    std::ofstream(file) << "old";
    ::chmod(file.c_str(), mode);
    return file;
}

mode_t modeOf(const fs::path& file) {
    struct stat info {};
    ::stat(file.c_str(), &info);
    return info.st_mode & 07777;
}

std::size_t entries(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

} // namespace

TEST(FileOutput, writesWhereThePathPointsAndReplacesNothingElse) {
    const std::string bytes = "new contents\n";
    const std::string noSpace = std::generic_category().message(ENOSPC);
    int reader = -1; // the reading end of the pipe
    const auto pipe = [](const fs::path& d) {
        ::mkfifo((d / "pipe").c_str(), 0600);
        return d / "pipe";
    };
    struct Case {
        const char* name;
        std::function<fs::path(const fs::path&)> lay; // returns the path handed to the writer
        const char* fault;     // nullptr: written; else a part of the message
        bool onlyWritingTells; // the trial cannot know it (a full device, a pipe's reader)
        std::size_t added;     // new entries in the folder: no temporary file may stay
        std::function<void(const fs::path&)> check;
    };
    const Case cases[] = {
        {"new file", [](auto& d) { return d / "a.json"; }, nullptr, false, 1,
         [&](auto& d) { EXPECT_EQ(contents(d / "a.json"), bytes); }},
        {"link to a file: the link stays, the target takes the bytes and keeps its mode",
         [](auto& d) {
             fs::create_symlink(put(d / "target", 0600).filename(), d / "link");
             return d / "link";
         },
         nullptr, false, 0,
         [&](auto& d) {
             EXPECT_TRUE(fs::is_symlink(d / "link"));
             EXPECT_EQ(contents(d / "target"), bytes);
             EXPECT_EQ(modeOf(d / "target"), 0600u);
         }},
        {"link to nothing yet: the file is made where it points",
         [](auto& d) {
             fs::create_symlink("made", d / "link");
             return d / "link";
         },
         nullptr, false, 1,
         [&](auto& d) {
             EXPECT_TRUE(fs::is_symlink(d / "link"));
             EXPECT_EQ(contents(d / "made"), bytes);
         }},
        {"a file of mode 0640 keeps it", [](auto& d) { return put(d / "f", 0640); }, nullptr, false,
         0, [](auto& d) { EXPECT_EQ(modeOf(d / "f"), 0640u); }},
        {"a pipe someone reads is written, not replaced",
         [&](auto& d) {
             reader = ::open(pipe(d).c_str(), O_RDONLY | O_NONBLOCK);
             return d / "pipe";
         },
         nullptr, false, 0,
         [&](auto& d) {
             EXPECT_TRUE(fs::is_fifo(d / "pipe"));
             char got[64] = {};
             EXPECT_EQ(std::string(got, static_cast<std::size_t>(::read(reader, got, 64))), bytes);
             ::close(reader);
         }},
        {"a pipe nobody reads is refused at once", pipe, "никто не читает", true, 0,
         [](auto& d) { EXPECT_TRUE(fs::is_fifo(d / "pipe")); }},
        {"a full device names the system's reason", [](auto&) { return fs::path("/dev/full"); },
         noSpace.c_str(), true, 0, nullptr},
        {"a folder", [](auto& d) { return d; }, "это папка", false, 0, nullptr},
        {"a missing folder", [](auto& d) { return d / "no" / "f"; }, "не существует", false, 0,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char name[] = "/tmp/torl7-output-XXXXXX";
        const fs::path folder = ::mkdtemp(name);
        const fs::path path = c.lay(folder);
        const std::size_t before = entries(folder);
        const std::string trial = outputPathFault(path.string());
        EXPECT_EQ(entries(folder), before) << "the trial leaves nothing behind";
        std::string error;
        EXPECT_EQ(writeFileWhole(path.string(), bytes, error), c.fault == nullptr) << error;
        if (c.fault != nullptr) {
            EXPECT_NE(error.find(c.fault), std::string::npos) << error;
        }
        EXPECT_EQ(trial.empty(), c.fault == nullptr || c.onlyWritingTells) << trial;
        EXPECT_EQ(entries(folder), before + c.added);
        if (c.check) {
            c.check(folder);
        }
        fs::remove_all(folder);
    }
}

TEST(FileOutput, aSetIsReplacedWholeOrLeftAsItWas) {
    char name[] = "/tmp/torl7-output-XXXXXX";
    const fs::path folder = ::mkdtemp(name);
    const fs::path cfg = put(folder / "w.cfg", 0644);
    const fs::path dat = put(folder / "w.dat", 0644);
    std::string error;
    {
        FileSetWriter set;
        EXPECT_TRUE(set.stage(cfg.string(), "new", error)) << error;
        EXPECT_FALSE(set.stage((folder / "gone" / "w.dat").string(), "new", error));
    } // not committed
    EXPECT_EQ(contents(cfg), "old") << "no new configuration beside the old data";
    EXPECT_EQ(entries(folder), 2u) << "the staged file is gone";

    FileSetWriter set;
    EXPECT_TRUE(set.stage(cfg.string(), "new", error) && set.stage(dat.string(), "new", error));
    EXPECT_EQ(contents(cfg), "old") << "nothing is in place before the commit";
    EXPECT_TRUE(set.commit(error)) << error;
    EXPECT_EQ(contents(cfg) + contents(dat), "newnew");
    fs::remove_all(folder);
}
