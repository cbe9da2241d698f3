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
    const EventRows rows = readEvents(cli);
    if (format == "csv") {
        cli.out() << eventsCsv(rows, separator.front().toLatin1());
        return exitcode::Done;
    }
    cli.out() << eventsJson(rows);
    return exitcode::Done;
}

namespace {

AccountingRecord exchangeAccounting(Cli& cli, AccountingRequest request) {
    AccountingExchange exchange(cli.session());
    return cli.result(
        exchange, [&] { exchange.start(request); },
        request == AccountingRequest::Read ? "accounting read" : "accounting reset");
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
    writeReport(cli, readReportChain(cli), path.toStdString());
    cli.out() << "report written to " << path.toStdString() << '\n';
    return exitcode::Done;
}

} // namespace torl7
