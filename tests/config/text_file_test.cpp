// What the tool takes as a text file a person hands it: a regular file of at most 4 MiB in
// UTF-8. Everything else is refused at once with the reason, without reading on for ever.
#include "documents/text_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace torl7;
namespace fs = std::filesystem;

namespace {

fs::path freshFolder() {
    char name[] = "/tmp/torl7-input-XXXXXX";
    return ::mkdtemp(name);
}

fs::path file(const fs::path& at, const std::string& bytes) {
    std::ofstream(at, std::ios::binary) << bytes;
    return at;
}

} // namespace

TEST(TextFile, onlyARegularUtf8FileWithinTheLimitIsRead) {
    const fs::path dir = freshFolder();
    struct Case {
        const char* name;
        std::function<fs::path()> lay;
        const char* refusal; // nullptr: read whole
    };
    const Case cases[] = {
        {"UTF-8 with its mark", [&] { return file(dir / "b.json", "\xEF\xBB\xBF{\"a\": \"Щ\"}"); },
         nullptr},
        {"exactly the limit",
         [&] { return file(dir / "c.json", std::string(kMaxTextFileBytes, ' ')); }, nullptr},
        {"one byte over the limit",
         [&] { return file(dir / "d.json", std::string(kMaxTextFileBytes + 1, ' ')); },
         "larger than 4 MiB"},
        {"a link to /dev/zero",
         [&] {
             fs::create_symlink("/dev/zero", dir / "zero.json");
             return dir / "zero.json";
         },
         "not a regular file"},
        {"a pipe with no writer",
         [&] {
             ::mkfifo((dir / "pipe.json").c_str(), 0600);
             return dir / "pipe.json";
         },
         "not a regular file"},
        {"a folder", [&] { return dir; }, "is a folder"},
        {"nothing there", [&] { return dir / "missing.json"; }, "not found"},
        {"UTF-16, little end first, marked",
         [&] { return file(dir / "e.json", std::string("\xFF\xFE{\0}\0", 6)); },
         "UTF-16: save it as UTF-8"},
        {"UTF-32, big end first, unmarked",
         [&] { return file(dir / "h.json", std::string("\0\0\0{\0\0\0}", 8)); },
         "UTF-32: save it as UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = c.lay();
        const TextFileRead read = readTextFile(path.string());
        if (c.refusal == nullptr) {
            EXPECT_TRUE(read.text) << read.error;
            EXPECT_EQ(read.text.value_or(""),
                      std::string(std::istreambuf_iterator<char>(
                                      std::ifstream(path, std::ios::binary).rdbuf()),
                                  {}));
            continue;
        }
        EXPECT_FALSE(read.text);
        EXPECT_NE(read.error.find(c.refusal), std::string::npos) << read.error;
        EXPECT_FALSE(read.errorRussian.empty());
        EXPECT_EQ(read.missing, std::string(c.name) == "nothing there");
    }
    fs::remove_all(dir);
}
