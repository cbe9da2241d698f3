#include "app/subsystems.hpp"

#include "app/main_window.hpp"
#include "config/calibration.hpp"
#include "config/configuration.hpp"
#include "report/report_writer.hpp"

namespace torl7 {

void installSubsystems(MainWindow& window) {
    new ReportWriter(window);
    new Configuration(window);
    new Calibration(window);
}

} // namespace torl7
