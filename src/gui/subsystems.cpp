#include "gui/subsystems.hpp"

#include "gui/controllers/accounting.hpp"
#include "gui/controllers/bundle_saver.hpp"
#include "gui/controllers/calibration.hpp"
#include "gui/controllers/clock_commands.hpp"
#include "gui/controllers/configuration.hpp"
#include "gui/controllers/device_search.hpp"
#include "gui/controllers/diagnostics.hpp"
#include "gui/controllers/exports.hpp"
#include "gui/controllers/protocol_reader.hpp"
#include "gui/controllers/report_writer.hpp"
#include "gui/controllers/rs485_speed.hpp"
#include "gui/controllers/settings_transfer.hpp"
#include "gui/controllers/trip_curve_editor.hpp"
#include "gui/controllers/waveform_viewer.hpp"
#include "gui/main_window.hpp"

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
    new Exports(window);
    new WaveformViewer(window);
    new BundleSaver(window);
}

} // namespace torl7
