#include "app/subsystems.hpp"

#include "app/main_window.hpp"
#include "report/report_writer.hpp"

namespace torl7 {

void installSubsystems(MainWindow& window) {
    new ReportWriter(window);
}

} // namespace torl7
