// `torl7 --simulate`: the simulated unit runs inside the tool on a pseudo-terminal of its own
// (where the system has none, on a free TCP port of the loopback address, opened as
// tcp://127.0.0.1:PORT), so that a newcomer sees the whole tool working without a unit.
#pragma once

#include <QString>

#include <memory>

namespace torl7 {

class SimulatedUnitHandle {
public:
    SimulatedUnitHandle();
    ~SimulatedUnitHandle();
    // Starts the unit (factory number 600, 115200 baud, wire time on); returns the port to
    // open, or an empty string (see error()).
    QString start();
    QString error() const { return error_; }

private:
    struct Running;
    std::unique_ptr<Running> running_;
    QString error_;
};

} // namespace torl7
