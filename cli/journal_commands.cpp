#include "cli.hpp"

namespace torl7 {

int Cli::readEventsCommand(QCommandLineParser& parser) {
    const QString format = parser.value("format");
    if (format != "csv" && format != "json") {
        throw Failure{exitcode::Usage, "--format must be csv or json"};
    }
    const QString separator = parser.value("separator");
    if (separator != ";" && separator != ",") {
        throw Failure{exitcode::Usage, "--separator must be ; or ,"};
    }
    openPort();
    std::size_t leftOut = 0;
    const std::vector<EventRow> rows = readEvents(leftOut);
    if (leftOut != 0) {
        // The grid leaves these out too; the user is told, so that none goes missing unseen.
        err_ << "torl7-cli: " << leftOut
             << " event record(s) left out: no real date and time (an impossible date, or "
                "digits that are not BCD)\n";
    }
    out_ << (format == "csv" ? eventsCsv(rows, separator.front().toLatin1())
                             : eventsJson(rows, leftOut));
    return exitcode::Done;
}

namespace {

AccountingRecord runAccounting(UnitSession& session, AccountingRequest request) {
    return valueOf(runToEnd<AccountingRecord>(
                       [&](auto done) { exchangeAccounting(session, request, std::move(done)); }),
                   request == AccountingRequest::Read ? "accounting read" : "accounting reset");
}

} // namespace

int Cli::readAccounting() {
    openPort();
    out_ << accountingJson(runAccounting(*session_, AccountingRequest::Read));
    return exitcode::Done;
}

int Cli::resetAccounting(QCommandLineParser& parser) {
    requireYes(parser, "reset-accounting");
    openPort();
    out_ << accountingJson(runAccounting(*session_, AccountingRequest::Reset));
    return exitcode::Done;
}

int Cli::report(QCommandLineParser& parser) {
    const QString path = parser.value("output");
    if (path.isEmpty()) {
        throw Failure{exitcode::Usage, "report needs -o FILE.docx"};
    }
    reportTemplate(); // before the unit is asked anything
    checkOutput(path);
    openPort();
    writeReport(readReportChain(), path.toStdString());
    out_ << "report written to " << path.toStdString() << '\n';
    return exitcode::Done;
}

std::string Cli::reportTemplate() {
    const auto templatePath = findReportTemplate(
        std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String()));
    if (!templatePath) {
        throw Failure{exitcode::Invalid,
                      "the report template " + std::string(kReportTemplateName) + " was not found"};
    }
    return utf8Path(*templatePath);
}

ReportChainData Cli::readReportChain() {
    // The window's report chain: configuration, accounting record, event protocol.
    EventTable table;
    ReportChain chain(*session_, table);
    const Outcome<ReportChainData> read =
        runToEnd<ReportChainData>([&](auto done) { chain.start({}, std::move(done)); });
    const char* const step = chain.failedStep() == ReportStep::Configuration ? "configuration read"
                             : chain.failedStep() == ReportStep::Accounting  ? "accounting read"
                                                                             : "event block";
    return valueOf(read, step);
}

ReportData Cli::reportData(const ReportChainData& chained) const {
    ReportData data;
    data.factoryNumber = std::to_string(unit_);
    data.events.assign(chained.events.begin(), chained.events.end());
    data.settingsValues = settingsValuesFor(chained.record);
    const AccountingTexts texts = formatAccounting(chained.accounting);
    data.accountingValues = {texts.st_nuh, texts.st_tdv, texts.st_kvdv, texts.st_kzdv,
                             texts.st_nwa};
    data.made = static_cast<std::time_t>(QDateTime::currentSecsSinceEpoch());
    return data;
}

void Cli::writeReport(const ReportChainData& chained, const std::string& path) {
    DocxDocument document;
    if (!document.openFile(reportTemplate())) {
        throw Failure{exitcode::Invalid, document.error()};
    }
    const ReportData data = reportData(chained);
    std::string error;
    if (!fillReport(
            document, data, [](int) {}, error)) {
        throw Failure{exitcode::Invalid, error};
    }
    if (!document.saveAs(path)) {
        throw Failure{exitcode::Invalid, "cannot write " + path + ": " + document.error()};
    }
}

} // namespace torl7
