// The torl7-sim program as a script or the tool starts it.
#include "raw_client.hpp"

#include "protocol/frame.hpp"

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

TEST(Program, help_describesTheProgramAndSucceeds) {
    Program program = launch({"--help"});
    EXPECT_TRUE(firstLine(program).starts_with("Usage: torl7-sim"));
    EXPECT_EQ(exitCode(program), 0);
}

} // namespace
