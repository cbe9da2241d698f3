#include "app/subsystems.hpp"

#include "app/main_window.hpp"
#include "journal/accounting.hpp"
#include "journal/protocol_reader.hpp"
#include "report/report_writer.hpp"

namespace torl7 {

void installSubsystems(MainWindow& window) {
    new ProtocolReader(window);
    new Accounting(window);
    new ReportWriter(window);
}

} // namespace torl7
