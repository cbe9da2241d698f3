#include "app/subsystems.hpp"

#include "app/main_window.hpp"

namespace torl7 {

void installSubsystems(MainWindow& window) {
    (void)window;
}

} // namespace torl7
