// torl7-cli against several simulated units sharing one pseudo-terminal, started as
// `torl7-sim --unit 600 --unit 601 --unit 615 --fault 601:drop` starts them.
#include "cli/cli_fixture.hpp"
#include "sim/command_line.hpp"

#include <gtest/gtest.h>

using namespace torl7;
using namespace torl7::test;

TEST_F(CliAgainstUnit, onASharedLineEachUnitAnswersItsOwnNumberWithItsOwnRecords) {
    const auto line = std::get<sim::CommandLine>(sim::parseCommandLine(
        {"--unit", "600", "--unit", "601", "--unit", "615", "--fault", "601:drop"}));
    port_ = QString::fromStdString(
        unit_.startBus(sim::unitsOnLine(line.options, line.units, line.unitFaults)));

    const struct {
        const char* unit;
        int code;
        std::string out;
    } rows[] = {
        {"600", exitcode::Done, "ТОРЛ-7 v2.04\n"},
        {"601", exitcode::NoAnswer, ""}, // on the line, but silent
        {"615", exitcode::Done, "ТОРЛ-7 v2.04\n"},
        {"598", exitcode::NoAnswer, ""}, // no unit has the number
    };
    for (const auto& row : rows) {
        const Result r = run({"--unit", row.unit, "--timeout-ms", "200", "version"});
        EXPECT_EQ(r.code, row.code) << row.unit;
        EXPECT_EQ(r.out, row.out) << row.unit;
    }
    // Each unit's accounting counts the N % 10 + 1 trips its protocol was given.
    for (const int unit : {600, 615}) {
        const Result r = run({"--unit", QString::number(unit), "read-accounting"});
        EXPECT_EQ(object(r.out)["raw"].toObject()["trips"].toInt(), unit % 10 + 1) << unit;
    }
}
