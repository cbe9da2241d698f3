// The diagnostics poll with waveforms, as the window runs it, against the simulated unit on a
// pseudo-terminal with a share of its answers faulted at random (dropped, spoiled, split,
// late, echoed, led by stray bytes ...). It watches two things a long session in the field
// must not show: memory that keeps growing, and a poll that stops advancing without ending.
//
//   poll_soak [--minutes M] [--rate PERCENT] [--stuck-periods N] [--seed S]
//
// Defaults: 60 minutes, 1 % of the answers faulted, stuck after 10 watchdog periods without a
// snapshot or a waveform set. A poll that ends by itself (five misses in a row) is counted and
// started again, as the user would press the button again. Memory is the process's resident
// set (VmRSS), taken after a warm-up of a sixth of the run and at its end; the run fails when
// it grew by 5 MB or more, or when the poll was stuck once.
#include "faults/unit_rig.hpp"
#include "protocol/line_speed.hpp"
#include "protocol/poll_sequence.hpp"
#include "protocol/request_kind.hpp"
#include "session/operations/diag_poll.hpp"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

using namespace torl7;

namespace {

constexpr long kGrowthLimitKb = 5 * 1024;

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

struct Settings {
    double minutes = 60;
    double ratePercent = 1;
    int stuckPeriods = 10;
    std::uint32_t seed = 1;
};

bool parse(const QStringList& arguments, Settings& settings) {
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        bool ok = false;
        const QString& name = arguments[i];
        const double value = arguments[i + 1].toDouble(&ok);
        if (!ok || value < 0) {
            return false;
        }
        if (name == "--minutes") {
            settings.minutes = value;
        } else if (name == "--rate") {
            settings.ratePercent = value;
        } else if (name == "--stuck-periods") {
            settings.stuckPeriods = static_cast<int>(value);
        } else if (name == "--seed") {
            settings.seed = static_cast<std::uint32_t>(value);
        } else {
            return false;
        }
    }
    return arguments.size() % 2 == 1;
}

struct Figures {
    long snapshots = 0;
    long waveformSets = 0;
    long pollEnds = 0;
    long requests = 0;
    long baselineKb = -1;
    long endKb = 0;
    long peakKb = 0;
    int stuck = 0;
    int periodMs = 0;
    double minutes = 0;
};

// Polls for the settings' minutes, starting the poll again whenever it ended by itself, and
// looks at its progress and the memory once a second.
Figures soak(faults::UnitRig& rig, const Settings& settings) {
    Figures f;
    DiagPoll poll(rig.session());
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    QObject::connect(&poll, &DiagPoll::snapshotReceived, [&](const Snapshot&) {
        ++f.snapshots;
        sinceProgress.restart();
    });
    QObject::connect(&poll, &DiagPoll::waveformsReady, [&](const WaveformSamples&) {
        ++f.waveformSets;
        sinceProgress.restart();
    });
    poll.onFinished([&](const Outcome<PollSummary>& o) {
        if (!o) {
            ++f.pollEnds;
        }
    });
    poll.start(kMaxViewIndex);

    // The unit's clock runs with the PC's, as a unit in service does.
    const auto started = std::chrono::system_clock::now();
    f.periodMs = responseTimeoutMs(rig.session().lineSpeed(), kind::Diagnostics);
    const qint64 stuckAfterMs = static_cast<qint64>(settings.stuckPeriods) * f.periodMs;
    const auto runMs = static_cast<qint64>(settings.minutes * 60'000);
    QElapsedTimer elapsed;
    elapsed.start();
    bool stuckNow = false;
    while (elapsed.elapsed() < runMs) {
        faults::UnitRig::runUntil([] { return false; }, std::chrono::milliseconds{1000});
        rig.clock().set(started + std::chrono::milliseconds(elapsed.elapsed()));
        // Counted and forgotten, so that the log does not grow with the run.
        f.requests += static_cast<long>(rig.requests().size());
        rig.clearRequests();
        if (!poll.running()) {
            poll.start(kMaxViewIndex);
        }
        const bool noProgress = sinceProgress.elapsed() > stuckAfterMs;
        if (noProgress && !stuckNow) {
            ++f.stuck;
            std::fprintf(stderr, "poll_soak: stuck at %lld s: nothing for %lld ms\n",
                         elapsed.elapsed() / 1000, sinceProgress.elapsed());
        }
        stuckNow = noProgress;
        const long kb = residentKb();
        f.peakKb = std::max(f.peakKb, kb);
        if (f.baselineKb < 0 && elapsed.elapsed() >= runMs / 6) {
            f.baselineKb = kb;
        }
    }
    poll.stop();
    f.endKb = residentKb();
    f.minutes = static_cast<double>(elapsed.elapsed()) / 60000.0;
    return f;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Settings settings;
    if (!parse(app.arguments(), settings)) {
        std::fprintf(stderr, "usage: poll_soak [--minutes M] [--rate PERCENT] "
                             "[--stuck-periods N] [--seed S]\n");
        return 2;
    }
    sim::SimOptions options;
    options.faults.randomRate = settings.ratePercent / 100.0;
    options.faults.seed = settings.seed;
    faults::UnitRig rig(options, sim::kDefaultFactoryNumber);
    if (const auto error = rig.session().openPort()) {
        std::fprintf(stderr, "poll_soak: %s\n", qPrintable(error->detail));
        return 2;
    }
    const Figures f = soak(rig, settings);
    const long faulted = rig.faultedAnswers();
    const long growthKb = f.endKb - f.baselineKb;
    std::printf("minutes %.1f, seed %u\n", f.minutes, settings.seed);
    std::printf("snapshots %ld, waveform sets %ld, poll ended by itself %ld times\n", f.snapshots,
                f.waveformSets, f.pollEnds);
    std::printf("requests the unit answered %ld, of them faulted %ld (%.2f %%)\n", f.requests,
                faulted, f.requests > 0 ? 100.0 * static_cast<double>(faulted) / f.requests : 0.0);
    std::printf("VmRSS after warm-up %ld kB, at the end %ld kB, peak %ld kB, growth %ld kB\n",
                f.baselineKb, f.endKb, f.peakKb, growthKb);
    std::printf("stuck %d times (no snapshot or waveform set for %d periods of %d ms)\n", f.stuck,
                settings.stuckPeriods, f.periodMs);
    const bool passed = growthKb < kGrowthLimitKb && f.stuck == 0;
    std::printf("%s\n", passed ? "PASS" : "FAIL");
    return passed ? 0 : 1;
}
