// fault_matrix: the fault matrix as tests (the default), or `fault_matrix --table [ROW...]`
// to run the cells and print the table as Markdown, rows named as in the test names (drop,
// stray, echo-absent, baud300, ...).
#include "faults/fault_matrix.hpp"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <iostream>
#include <map>

using namespace torl7::faults;

namespace {

int printTable(const std::vector<Row>& rows) {
    std::cout << "| fault \\ operation |";
    for (const Column column : allColumns()) {
        std::cout << ' ' << columnTitle(column) << " |";
    }
    std::cout << "\n|---|";
    for (std::size_t i = 0; i < allColumns().size(); ++i) {
        std::cout << "---|";
    }
    std::cout << '\n';
    std::map<std::string, int> counts;
    std::vector<std::string> notes;
    for (const Row row : rows) {
        std::cout << "| " << rowTitle(row) << " |";
        for (const Column column : allColumns()) {
            const CellVerdict verdict = runCell(row, column);
            const AwaitedCell* awaited = awaitingFix(row, column);
            const char* explanation = expectationFor(row, column).explanation;
            std::string mark = verdict.passed ? "pass" : "FAIL";
            if (awaited) {
                mark = verdict.passed ? "awaits fix, passed" : "awaits fix";
            } else if (verdict.passed && explanation) {
                mark = "explained";
            }
            ++counts[mark];
            const std::string where =
                std::string(rowTitle(row)) + " × " + std::string(columnTitle(column));
            if (!verdict.passed) {
                mark += " [" + std::to_string(notes.size() + 1) + "]";
                notes.push_back(where + ": " + verdict.detail +
                                (awaited ? std::string(" (today: ") + awaited->fault + ")" : ""));
            } else if (explanation) {
                mark += " [" + std::to_string(notes.size() + 1) + "]";
                notes.push_back(where + ": " + explanation);
            }
            std::cout << ' ' << mark << " |" << std::flush;
            std::cerr << where << ": " << verdict.took.count() << " ms"
                      << (verdict.passed ? "" : ", " + verdict.detail) << '\n';
        }
        std::cout << '\n';
    }
    std::cout << '\n';
    for (std::size_t i = 0; i < notes.size(); ++i) {
        std::cout << i + 1 << ". " << notes[i] << '\n';
    }
    std::cout << "\nCells:";
    for (const auto& [mark, count] : counts) {
        std::cout << ' ' << mark << ' ' << count << ';';
    }
    std::cout << '\n';
    return counts["FAIL"] == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() > 1 && arguments[1] == QStringLiteral("--table")) {
        std::vector<Row> rows;
        for (qsizetype i = 2; i < arguments.size(); ++i) {
            const auto row = rowByName(arguments[i].toStdString());
            if (!row) {
                std::cerr << "fault_matrix: no fault row " << arguments[i].toStdString() << '\n';
                return 2;
            }
            rows.push_back(*row);
        }
        return printTable(rows.empty() ? allRows() : rows);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
