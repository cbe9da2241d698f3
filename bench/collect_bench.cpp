// `torl7-cli collect` over a substation of three simulated buses, each `torl7-sim --wire-time`
// at 115200 baud in a process of its own, the client a process of its own too, so that the
// figures are the client's alone (wait4 gives its CPU time and peak resident memory).
//
//   collect_bench [--benchmark_...]
//
// collect12: 12 units, 4 on each line. Each line is first collected alone (its own sequential
// time), then all three together. `line_multiple` is the time of all three as a multiple of
// the slowest line's own (target at most 1.1: the lines really run side by side);
// `cpu_share` the client's CPU time (user + system) over the wall time of the run of all
// three (target below 0.5 of one core).
// collect30: 30 units, 10 on each line; `peak_rss_mb` is the client's peak resident memory
// (target below 150 MB).
//
// The client runs with no LibreOffice on its PATH: a PDF per unit would be LibreOffice's time
// and memory, not the tool's, and each unit's folder gets the note instead.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kLines = 3;
constexpr int kUnitsPerLine = 10;

pid_t spawn(const std::vector<std::string>& args, int stdoutFd, char** env = environ) {
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        throw std::runtime_error("cannot start " + args[0]);
    }
    return pid;
}

// Three buses of ten units: 600-609, 700-709, 800-809, and the substation file naming them.
class Substation {
public:
    Substation() {
        folder_ = fs::temp_directory_path() / ("collect_bench." + std::to_string(getpid()));
        fs::create_directories(folder_);
        std::string lines;
        std::string units;
        for (int line = 0; line < kLines; ++line) {
            const int first = 600 + 100 * line;
            int out[2];
            if (pipe(out) != 0) {
                throw std::runtime_error("pipe");
            }
            sims_.push_back(
                spawn({TORL7_SIM_PROGRAM, "--unit",
                       std::to_string(first) + "-" + std::to_string(first + kUnitsPerLine - 1),
                       "--speed", "115200", "--wire-time"},
                      out[1]));
            close(out[1]);
            std::string port;
            char c = 0;
            while (read(out[0], &c, 1) == 1 && c != '\n') {
                port += c;
            }
            close(out[0]);
            lines += std::string(line ? "," : "") + R"({"id": "bus)" + std::to_string(line) +
                     R"(", "port": ")" + port + R"(", "speed_baud": 115200})";
            for (int u = 0; u < kUnitsPerLine; ++u) {
                units += std::string(units.empty() ? "" : ",") + R"({"number": )" +
                         std::to_string(first + u) + R"(, "line": "bus)" + std::to_string(line) +
                         R"("})";
            }
        }
        std::ofstream(folder_ / "substation.json")
            << R"({"format": "torl7-substation", "format_version": 1, "name": "bench", "lines": [)"
            << lines << R"(], "units": [)" << units << "]}";
    }
    ~Substation() {
        for (const pid_t pid : sims_) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        fs::remove_all(folder_);
    }

    struct Run {
        double seconds = 0;
        double cpuSeconds = 0;
        double peakRssMb = 0;
        int exitCode = -1;
    };

    // collect over the units named (each line's first `perLine` units of `lines`).
    Run collect(const std::vector<int>& lines, int perLine) {
        std::vector<std::string> args{TORL7_CLI_PROGRAM, "collect",
                                      (folder_ / "substation.json").string(), "--out",
                                      (folder_ / "out").string()};
        for (const int line : lines) {
            for (int u = 0; u < perLine; ++u) {
                args.push_back("--only");
                args.push_back(std::to_string(600 + 100 * line + u));
            }
        }
        fs::remove_all(folder_ / "out");
        std::string path = "PATH=/nonexistent";
        char* env[] = {path.data(), nullptr};
        const int devNull = open("/dev/null", O_WRONLY);
        const auto began = std::chrono::steady_clock::now();
        const pid_t pid = spawn(args, devNull, env);
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        const auto ended = std::chrono::steady_clock::now();
        close(devNull);
        const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
        Run run;
        run.seconds = std::chrono::duration<double>(ended - began).count();
        run.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
        run.peakRssMb = usage.ru_maxrss / 1024.0;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }

private:
    fs::path folder_;
    std::vector<pid_t> sims_;
};

Substation* gSubstation = nullptr;

void collect12(benchmark::State& state) {
    double multiple = 0;
    double cpuShare = 0;
    double slowestSum = 0;
    for (auto _ : state) {
        double slowest = 0;
        for (int line = 0; line < kLines; ++line) {
            const auto alone = gSubstation->collect({line}, 4);
            if (alone.exitCode != 0) {
                state.SkipWithError("a line alone was not collected whole");
                return;
            }
            slowest = std::max(slowest, alone.seconds);
        }
        const auto all = gSubstation->collect({0, 1, 2}, 4);
        if (all.exitCode != 0) {
            state.SkipWithError("the substation was not collected whole");
            return;
        }
        state.SetIterationTime(all.seconds);
        multiple += all.seconds / slowest;
        cpuShare += all.cpuSeconds / all.seconds;
        slowestSum += slowest;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["line_multiple"] = multiple / n;
    state.counters["cpu_share"] = cpuShare / n;
    state.counters["slowest_line_ms"] = slowestSum / n * 1000;
}
BENCHMARK(collect12)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void collect30(benchmark::State& state) {
    double peak = 0;
    for (auto _ : state) {
        const auto all = gSubstation->collect({0, 1, 2}, kUnitsPerLine);
        if (all.exitCode != 0) {
            state.SkipWithError("the substation was not collected whole");
            return;
        }
        state.SetIterationTime(all.seconds);
        peak = std::max(peak, all.peakRssMb);
    }
    state.counters["peak_rss_mb"] = peak;
}
BENCHMARK(collect30)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Substation substation;
    gSubstation = &substation;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
