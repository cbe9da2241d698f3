// The torl7-sim program as a script or the tool starts it.
#include "raw_client.hpp"

#include "link/frame.hpp"

#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace torl7;
using namespace torl7::sim::testing;

extern char** environ;

namespace {

struct Program {
    pid_t pid = -1;
    FILE* out = nullptr;
};

Program launch(std::vector<std::string> args) {
    int pipeFds[2];
    EXPECT_EQ(::pipe(pipeFds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    args.insert(args.begin(), TORL7_SIM_PROGRAM);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    Program program;
    EXPECT_EQ(
        ::posix_spawn(&program.pid, TORL7_SIM_PROGRAM, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    program.out = ::fdopen(pipeFds[0], "r");
    return program;
}

int exitCode(Program& program) {
    int status = 0;
    ::waitpid(program.pid, &status, 0);
    std::fclose(program.out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string firstLine(Program& program) {
    char line[256] = {};
    if (!std::fgets(line, sizeof line, program.out)) {
        return {};
    }
    std::string text(line);
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

TEST(Program, printsThePortFirstServesItAndEndsCleanlyOnSigterm) {
    Program program = launch({"--unit", "1234"});
    const std::string path = firstLine(program);
    ASSERT_TRUE(path.starts_with("/dev/pts/")) << path;
    {
        RawClient client(path, 115200);
        EXPECT_EQ(client.exchange(buildFrame(1234, 0, {})), buildFrame(1234, 0, Bytes{5, 0}));
    }
    ::kill(program.pid, SIGTERM);
    EXPECT_EQ(exitCode(program), 0);
}

TEST(Program, badOption_endsWithExitCodeTwoAndNoPort) {
    Program program = launch({"--speed", "12345"});
    EXPECT_EQ(firstLine(program), "");
    EXPECT_EQ(exitCode(program), 2);
}

TEST(Program, eventsFile_isHandedOutBlockByBlock_aBadOneEndsWithExitCodeTwo) {
    const std::string path = ::testing::TempDir() + "torl7-sim-events.txt";
    FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("erased\n05.03.16 14:30:45:3 state=81 prot=20 u=220,221,222 i=12.3,12.4,100 "
               "iut=0.5 cos=0.85\n",
               file);
    std::fclose(file);
    Program program = launch({"--events", path});
    const std::string port = firstLine(program);
    ASSERT_TRUE(port.starts_with("/dev/pts/")) << port;
    {
        RawClient client(port, 115200);
        const auto answer = parseFrame(client.exchange(buildFrame(600, 6, Bytes{0})));
        ASSERT_TRUE(answer.has_value());
        const PayloadReader block = answer->reader();
        EXPECT_EQ(block.size(), 241u);
        EXPECT_EQ(block.bytes(1, 24), Bytes(24, 0xFF));
        EXPECT_EQ(block.bytes(25, 8), (Bytes{0x03, 0x45, 0x30, 0x14, 0x05, 0x03, 0x16, 0x81}));
        EXPECT_EQ(block.bytes(49, 24), Bytes(24, 0xFF));
    }
    ::kill(program.pid, SIGTERM);
    EXPECT_EQ(exitCode(program), 0);

    file = std::fopen(path.c_str(), "w");
    std::fputs("05.03.16 14:30:45 volts=220\n", file);
    std::fclose(file);
    Program refused = launch({"--events", path});
    EXPECT_EQ(firstLine(refused), "");
    EXPECT_EQ(exitCode(refused), 2);
    std::remove(path.c_str());
}

TEST(Program, help_describesTheProgramAndSucceeds) {
    Program program = launch({"--help"});
    EXPECT_TRUE(firstLine(program).starts_with("Usage: torl7-sim"));
    EXPECT_EQ(exitCode(program), 0);
}

} // namespace
