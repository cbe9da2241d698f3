// The layout of the client's JSON, which scripts read: keys in alphabetical order, four
// spaces a level, a final newline; `monitor` prints one line per snapshot.
#include "documents/json_output.hpp"

#include <gtest/gtest.h>

using namespace torl7;

TEST(JsonOutput, keysAreSortedIndentedByFourAndEveryDocumentEndsAtALineEnd) {
    CoefficientAck ack;
    ack.coefficients = {570, 571, 572, 200, 201, 202, 5000};
    EXPECT_EQ(calibrationJson(ack), "{\n"
                                    "    \"coefficients\": {\n"
                                    "        \"ia\": 200,\n"
                                    "        \"ib\": 201,\n"
                                    "        \"ic\": 202,\n"
                                    "        \"idif\": 5000,\n"
                                    "        \"ua\": 570,\n"
                                    "        \"ub\": 571,\n"
                                    "        \"uc\": 572\n"
                                    "    },\n"
                                    "    \"protection_blocked\": false\n"
                                    "}\n");
    EXPECT_EQ(eventsJson({}, 3), "{\n    \"events\": [\n    ],\n    \"left_out\": 3\n}\n")
        << "an empty protocol is an empty array on two lines, the records left out counted";
    EventRow row;
    row[0] = "09.12.2026 \"02:05\"\t";
    EXPECT_EQ(eventsJson({row}, 0).substr(0, 78), "{\n    \"events\": [\n        {\n            "
                                                  "\"cos_f\": \"\",\n            \"date_time\": ")
        << eventsJson({row}, 0);
    EXPECT_NE(eventsJson({row}, 0).find("\"09.12.2026 \\\"02:05\\\"\\t\""), std::string::npos);

    const std::string line = snapshotJson(Snapshot{}, 600, JsonLayout::OneLine);
    EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    EXPECT_EQ(line.rfind(",\"unit\":600}\n"), line.size() - 13) << line;
}
