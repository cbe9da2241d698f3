// The unit's journal: read-events, read-accounting, reset-accounting; and the report.
#include "command_table.hpp"
#include "shared_reads.hpp"

#include "documents/events_csv.hpp"
#include "documents/json_output.hpp"

namespace torl7 {

int readEventsCommand(Cli& cli) {
    const QString format = cli.value("format");
    if (format != "csv" && format != "json") {
        throw Failure{exitcode::Usage, "--format must be csv or json"};
    }
    const QString separator = cli.value("separator");
    if (separator != ";" && separator != ",") {
        throw Failure{exitcode::Usage, "--separator must be ; or ,"};
    }
    std::size_t leftOut = 0;
    EventSlots records;
    const EventRows rows = readEvents(cli, leftOut, records);
    ArchiveReading reading = cli.reading("read-events");
    reading.events = records;
    cli.archive(std::move(reading));
    if (leftOut != 0) {
        // The grid leaves these out too; the user is told, so that none goes missing unseen.
        cli.err() << "torl7-cli: " << leftOut
                  << " event record(s) left out: no real date and time (an impossible date, or "
                     "digits that are not BCD)\n";
    }
    cli.out() << (format == "csv" ? eventsCsv(rows, separator.front().toLatin1())
                                  : eventsJson(rows, leftOut));
    return exitcode::Done;
}

namespace {

AccountingRecord exchangeAccounting(Cli& cli, AccountingRequest request) {
    AccountingExchange exchange(cli.session());
    const bool read = request == AccountingRequest::Read;
    const AccountingRecord record = cli.result(
        exchange, [&] { exchange.start(request); }, read ? "accounting read" : "accounting reset");
    ArchiveReading reading = cli.reading(read ? "read-accounting" : "reset-accounting");
    reading.accounting = record;
    cli.archive(std::move(reading));
    return record;
}

} // namespace

int readAccountingCommand(Cli& cli) {
    cli.out() << accountingJson(exchangeAccounting(cli, AccountingRequest::Read));
    return exitcode::Done;
}

int resetAccountingCommand(Cli& cli) {
    cli.requireYes("reset-accounting");
    cli.out() << accountingJson(exchangeAccounting(cli, AccountingRequest::Reset));
    return exitcode::Done;
}

int reportCommand(Cli& cli) {
    const QString path = cli.value("output");
    if (path.isEmpty()) {
        throw Failure{exitcode::Usage, "report needs -o FILE.docx"};
    }
    reportTemplate(); // before the unit is asked anything
    cli.checkOutput(path);
    const ReportChainData chained = readReportChain(cli);
    cli.archive(chainReading(cli, "report", {}, chained));
    writeReport(cli, chained, path.toStdString());
    cli.out() << "report written to " << path.toStdString() << '\n';
    return exitcode::Done;
}

} // namespace torl7
