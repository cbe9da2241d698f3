#include "gui/subsystems.hpp"

#include "gui/controllers/accounting.hpp"
#include "gui/controllers/archive_feed.hpp"
#include "gui/controllers/bundle_saver.hpp"
#include "gui/controllers/calibration.hpp"
#include "gui/controllers/clock_commands.hpp"
#include "gui/controllers/configuration.hpp"
#include "gui/controllers/device_search.hpp"
#include "gui/controllers/diagnostics.hpp"
#include "gui/controllers/exports.hpp"
#include "gui/controllers/journal.hpp"
#include "gui/controllers/protocol_reader.hpp"
#include "gui/controllers/report_writer.hpp"
#include "gui/controllers/rs485_speed.hpp"
#include "gui/controllers/settings_transfer.hpp"
#include "gui/controllers/substation_units.hpp"
#include "gui/controllers/trip_curve_editor.hpp"
#include "gui/controllers/waveform_viewer.hpp"
#include "gui/main_window.hpp"

namespace torl7 {

Subsystems installSubsystems(MainWindow& window) {
    Subsystems s;
    // Every read the window makes is kept in the default archive.
    s.archive = new ArchiveFeed(window, Archive::defaultLocation());
    s.search = new DeviceSearch(window);
    s.rs485Speed = new Rs485SpeedChange(window);
    s.tripCurve = new TripCurveEditor(window);
    s.diagnostics = new Diagnostics(window);
    s.clock = new ClockCommands(window, *s.diagnostics);
    s.protocol = new ProtocolReader(window, *s.archive);
    s.accounting = new Accounting(window, *s.archive);
    s.report = new ReportWriter(window, s.protocol->eventTable(), *s.archive);
    s.configuration = new Configuration(window, *s.archive);
    s.calibration = new Calibration(window);
    s.settings = new SettingsTransfer(window);
    s.exports = new Exports(window, s.diagnostics->operation());
    s.waveforms = new WaveformViewer(window, s.diagnostics->operation());
    s.bundle = new BundleSaver(window, *s.report, *s.settings, *s.exports, *s.archive);
    s.units = new SubstationUnits(window, *s.report, *s.archive);
    s.journal = new Journal(window, *s.archive, *s.exports);
    return s;
}

} // namespace torl7
