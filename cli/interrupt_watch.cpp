#include "interrupt_watch.hpp"

#include <csignal>

namespace torl7 {

namespace {

// A signal handler may only set a flag; the event loop looks at it.
volatile std::sig_atomic_t gSignalled = 0;

extern "C" void noteSignal(int) {
    gSignalled = 1;
}

// How soon the run hears of the signal; far below any answer timeout.
constexpr int kPollMs = 50;

} // namespace

InterruptWatch::InterruptWatch(std::function<void()> interrupted)
    : interrupted_(std::move(interrupted)) {
    gSignalled = 0;
    previousInterrupt_ = std::signal(SIGINT, noteSignal);
    previousTerminate_ = std::signal(SIGTERM, noteSignal);
    installed_ = true;
    QObject::connect(&poll_, &QTimer::timeout, [this] {
        if (gSignalled && installed_) {
            restore();
            interrupted_();
        }
    });
    poll_.start(kPollMs);
}

InterruptWatch::~InterruptWatch() {
    restore();
}

void InterruptWatch::restore() {
    poll_.stop();
    if (installed_) {
        std::signal(SIGINT, previousInterrupt_ == SIG_ERR ? SIG_DFL : previousInterrupt_);
        std::signal(SIGTERM, previousTerminate_ == SIG_ERR ? SIG_DFL : previousTerminate_);
        installed_ = false;
    }
}

} // namespace torl7
