// Ctrl-C (or a termination request) during a long run over many units: the first one asks the
// run to end in good order, so that the files being written are finished and every unit is
// listed; a second one meets the handling that was there before (by default, the end of the
// program). Only while the watch lives.
#pragma once

#include <QTimer>

#include <functional>

namespace torl7 {

class InterruptWatch {
public:
    // `interrupted` runs once, from the event loop, at the first SIGINT or SIGTERM.
    explicit InterruptWatch(std::function<void()> interrupted);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    void restore();

    std::function<void()> interrupted_;
    QTimer poll_;
    bool installed_ = false;
    void (*previousInterrupt_)(int) = nullptr;
    void (*previousTerminate_)(int) = nullptr;
};

} // namespace torl7
