#include "app/subsystems.hpp"

#include "app/main_window.hpp"
#include "config/clock_commands.hpp"
#include "diag/diagnostics.hpp"
#include "report/report_writer.hpp"

namespace torl7 {

void installSubsystems(MainWindow& window) {
    new Diagnostics(window);
    new ClockCommands(window);
    new ReportWriter(window);
}

} // namespace torl7
