#include "app/subsystems.hpp"

#include "app/main_window.hpp"
#include "config/calibration.hpp"
#include "config/clock_commands.hpp"
#include "config/configuration.hpp"
#include "config/rs485_speed.hpp"
#include "config/settings_transfer.hpp"
#include "diag/diagnostics.hpp"
#include "journal/accounting.hpp"
#include "journal/protocol_reader.hpp"
#include "report/report_writer.hpp"
#include "search/device_search.hpp"
#include "tcc/trip_curve_editor.hpp"

namespace torl7 {

void installSubsystems(MainWindow& window) {
    new DeviceSearch(window);
    new Rs485SpeedChange(window);
    new TripCurveEditor(window);
    new Diagnostics(window);
    new ClockCommands(window);
    new ProtocolReader(window);
    new Accounting(window);
    new ReportWriter(window);
    new Configuration(window);
    new Calibration(window);
    new SettingsTransfer(window);
}

} // namespace torl7
