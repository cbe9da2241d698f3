// The whole report step after the data is at hand: open the template, type 100 events,
// 44 settings and 5 accounting rows, and save the document to a file. Target: <= 5 ms.
#include "documents/report_content.hpp"
#include "report/sample_report.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

void reportFillAndSave(benchmark::State& state) {
    const torl7::ReportData data = torl7::testing::makeSampleReport(100);
    const std::filesystem::path target =
        std::filesystem::temp_directory_path() / "torl7-report-bench.docx";
    for (auto _ : state) {
        torl7::DocxDocument document;
        std::string error;
        if (!document.openFile(TORL7_REPORT_TEMPLATE) ||
            !torl7::fillReport(document, data, {}, error) || !document.saveAs(target.string())) {
            state.SkipWithError((error.empty() ? document.error() : error).c_str());
            break;
        }
    }
    std::filesystem::remove(target);
}
BENCHMARK(reportFillAndSave)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

} // namespace
