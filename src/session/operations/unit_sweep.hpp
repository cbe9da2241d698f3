// Finding the units on a line: one ping to every factory number of a range at one speed, each
// waiting the ping wait of that speed (50 ms from 9600 baud on, longer at the slow ones, as the
// device search waits), and every number that answers with a payload noted. The number is
// taken from the answer itself, so an answer that comes late, in the next number's wait, still
// names its own unit. Progress: the numbers pinged, of all in the range.
#pragma once

#include "session/operations/operation.hpp"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <optional>
#include <vector>

namespace torl7 {

class UnitSweep : public QObject, public Operation<std::vector<int>> {
    Q_OBJECT
public:
    explicit UnitSweep(UnitSession& session, QObject* parent = nullptr);

    // Pings `from`..`to` at the speed `speedIndex`; `pingWaitOverrideMs` replaces the wait
    // (the headless client's --timeout-ms). The numbers that answered, in order.
    void start(int from, int to, int speedIndex, std::optional<int> pingWaitOverrideMs = {});
    // One step: the next ping, or the end after the last one's wait.
    void tick();

private:
    void cancelParts() override { pacer_->stop(); }

    QTimer* const pacer_;
    int next_ = 0;
    int to_ = 0;
    int total_ = 0;
    std::vector<int> found_;
};

} // namespace torl7
