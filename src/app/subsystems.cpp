#include "app/subsystems.hpp"

#include "app/main_window.hpp"
#include "diag/diagnostics.hpp"

namespace torl7 {

void installSubsystems(MainWindow& window) {
    new Diagnostics(window);
}

} // namespace torl7
