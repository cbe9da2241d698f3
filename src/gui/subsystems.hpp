#pragma once

namespace torl7 {

class MainWindow;

// Creates the controller of every subsystem as a child of the window; each connects its own
// controls and registers its own answer handlers.
void installSubsystems(MainWindow& window);

} // namespace torl7
