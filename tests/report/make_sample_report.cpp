// Writes a filled sample report, for looking at the template as a user will see it:
//   report_sample TEMPLATE.docx OUT.docx [EVENTS]
#include "sample_report.hpp"

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::cerr << "usage: report_sample TEMPLATE.docx OUT.docx [EVENTS]\n";
        return 2;
    }
    const int events = argc == 4 ? std::atoi(argv[3]) : 100;
    torl7::DocxDocument document;
    std::string error;
    if (!document.openFile(argv[1]) ||
        !torl7::fillReport(document, torl7::testing::makeSampleReport(events), {}, error) ||
        !document.saveAs(argv[2])) {
        std::cerr << "report_sample: " << (error.empty() ? document.error() : error) << '\n';
        return 1;
    }
    return 0;
}
