// The controllers of the window, created once, in one place, with what each needs handed in:
// no controller looks another up, so the order below is the whole story of who needs whom.
#pragma once

namespace torl7 {

class Accounting;
class ArchiveFeed;
class BundleSaver;
class Calibration;
class ClockCommands;
class Configuration;
class DeviceSearch;
class Diagnostics;
class Exports;
class Journal;
class MainWindow;
class ProtocolReader;
class ReportWriter;
class Rs485SpeedChange;
class SettingsTransfer;
class SubstationUnits;
class TripCurveEditor;
class WaveformViewer;

struct Subsystems {
    ArchiveFeed* archive = nullptr;
    DeviceSearch* search = nullptr;
    Rs485SpeedChange* rs485Speed = nullptr;
    TripCurveEditor* tripCurve = nullptr;
    Diagnostics* diagnostics = nullptr;
    ClockCommands* clock = nullptr;
    ProtocolReader* protocol = nullptr;
    Accounting* accounting = nullptr;
    ReportWriter* report = nullptr;
    Configuration* configuration = nullptr;
    Calibration* calibration = nullptr;
    SettingsTransfer* settings = nullptr;
    Exports* exports = nullptr;
    WaveformViewer* waveforms = nullptr;
    BundleSaver* bundle = nullptr;
    SubstationUnits* units = nullptr;
    Journal* journal = nullptr;
};

// Creates the controller of every subsystem as a child of the window; each connects its own
// controls.
Subsystems installSubsystems(MainWindow& window);

} // namespace torl7
