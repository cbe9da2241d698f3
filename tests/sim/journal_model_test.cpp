// The simulated unit's event protocol and accounting record, without I/O.
#include "sim/command_line.hpp"
#include "sim/event_protocol.hpp"
#include "sim/handlers.hpp"
#include "sim/unit_model.hpp"

#include <gtest/gtest.h>

#include <ctime>

using namespace torl7;
using namespace torl7::sim;

namespace {

// A moment given in the PC's local time, as the unit's clock runs.
WallTime localTime(int year, int month, int day, int hours, int minutes, int seconds) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hours;
    t.tm_min = minutes;
    t.tm_sec = seconds;
    t.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&t));
}

class JournalModelTest : public ::testing::Test {
protected:
    Bytes answerPayload(std::uint8_t command, Bytes payload = {}) {
        const auto answers = model->handle(*parseFrame(buildFrame(600, command, payload)));
        if (answers.size() != 1) {
            ADD_FAILURE() << "expected one answer to command " << int(command);
            return {};
        }
        const Frame frame = *parseFrame(answers.front());
        EXPECT_EQ(frame.command(), command);
        return Bytes(frame.payload().begin(), frame.payload().end());
    }

    // Every block as the tool reads them, through the tool's own table.
    std::vector<EventRow> readProtocol() {
        EventTable table;
        for (std::uint8_t b = 0; b < kEventBlocks; ++b) {
            const Bytes payload = answerPayload(6, {b});
            EXPECT_EQ(payload.size(), kEventBlockSize);
            table.storeBlock(decodeEventBlock(payload));
        }
        return table.finish();
    }

    void startUnit(UnitOptions options = {}) {
        model = std::make_unique<UnitModel>(options, clock);
    }

    FixedClock clock{localTime(2016, 3, 5, 14, 5, 9)};
    std::unique_ptr<UnitModel> model = std::make_unique<UnitModel>(UnitOptions{}, clock);
};

bool inTimeOrder(const std::vector<EventRow>& rows) {
    // dd.mm.yy  hh:mm:ss:N -> yymmddhhmmss N
    const auto key = [](const std::string& t) {
        return t.substr(6, 2) + t.substr(3, 2) + t.substr(0, 2) + t.substr(10, 8);
    };
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (key(rows[i][0]) < key(rows[i - 1][0])) {
            return false;
        }
    }
    return true;
}

} // namespace

TEST_F(JournalModelTest, builtInProtocolHoldsItsValidEventsOutOfTableOrderAndTheRestErased) {
    const EventProtocol protocol = builtInEventProtocol(kDefaultEventCount);
    std::size_t erased = 0;
    for (const Bytes& record : protocol) {
        erased += record == erasedEventRecordBytes() ? 1 : 0;
    }
    EXPECT_EQ(erased, 100u - kDefaultEventCount);

    const auto rows = readProtocol();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kDefaultEventCount));
    // In table order the valid records are not in time order: the tool has to sort them.
    std::vector<EventRow> tableOrder;
    for (const Bytes& record : protocol) {
        if (record != erasedEventRecordBytes()) {
            tableOrder.push_back(eventRowTexts(decodeEventRecord(record)));
        }
    }
    EXPECT_FALSE(inTimeOrder(tableOrder));
    EXPECT_TRUE(inTimeOrder(rows));
    int sameSecondPairs = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (rows[i][0].substr(0, 18) == rows[i - 1][0].substr(0, 18)) {
            ++sameSecondPairs;
            EXPECT_LT(rows[i - 1][0].substr(19), rows[i][0].substr(19));
        }
    }
    EXPECT_GE(sameSecondPairs, 2);

    for (int count : {0, 1, 100}) {
        startUnit(UnitOptions{.events = builtInEventProtocol(count)});
        EXPECT_EQ(readProtocol().size(), static_cast<std::size_t>(count)) << count;
    }
    EXPECT_EQ(builtInEventProtocol(20), builtInEventProtocol(20)) << "the same every time";
}

TEST_F(JournalModelTest, aBlockNumberBeyondNineOrAMalformedRequestIsNotAnswered) {
    for (const Bytes& payload : {Bytes{10}, Bytes{255}, Bytes{}, Bytes{0, 0}}) {
        EXPECT_TRUE(model->handle(*parseFrame(buildFrame(600, 6, payload))).empty());
    }
    EXPECT_EQ(answerPayload(6, {9})[0], 9);
}

TEST_F(JournalModelTest, accountingCountsWithTheClockAndAResetStartsFromTheUnitsTime) {
    const AccountingRecord first = decodeAccounting(answerPayload(7));
    EXPECT_EQ(first, initialAccounting());

    clock.advance(std::chrono::seconds(3725));
    const AccountingRecord later = decodeAccounting(answerPayload(7));
    EXPECT_EQ(later.runningSeconds, first.runningSeconds + 3725);
    EXPECT_GT(later.energyMillionthsKwh, first.energyMillionthsKwh);
    EXPECT_EQ(later.starts, first.starts);
    EXPECT_EQ(later.start, first.start);

    // The unit's clock runs an hour ahead of the PC after a correction.
    model->state().clockOffset = std::chrono::hours(1);
    const AccountingRecord reset = decodeAccounting(answerPayload(8));
    const ClockStamp expectedStart{14, 7, 16, 5, 3, 16}; // 14:05:09 + 3725 s + 1 h
    EXPECT_EQ(reset.start, expectedStart);
    EXPECT_EQ(reset.runningSeconds, 0u);
    EXPECT_EQ(reset.starts, 0);
    EXPECT_EQ(reset.trips, 0);
    EXPECT_EQ(reset.energyMillionthsKwh, 0u);
    EXPECT_EQ(formatAccounting(reset).st_nuh, "05.03.2016г/16:07:14");

    clock.advance(std::chrono::seconds(60));
    const AccountingRecord afterReset = decodeAccounting(answerPayload(7));
    EXPECT_EQ(afterReset.runningSeconds, 60u);
    EXPECT_EQ(afterReset.start, expectedStart);
}

TEST(EventProtocolFile, theThreeRecordFormsCommentsAndBlankLines) {
    const auto parsed = parseEventProtocol(R"(# two events and an erased one
05.03.16 14:30:45:3 state=81 prot=20 u=220,221,222 i=12.3,12.4,100 iut=0.5 cos=0.85

erased
03 45 30 14 05 03 16 81 20 00 DC 00 DD 00 DE 00 7B 00 7C 03 E8 00 05 D5
31.02.21 24:00:00 cos=-0.5
)");
    ASSERT_TRUE(std::holds_alternative<EventProtocol>(parsed))
        << std::get<EventProtocolError>(parsed).message;
    const EventProtocol& p = std::get<EventProtocol>(parsed);
    const Bytes worked{0x03, 0x45, 0x30, 0x14, 0x05, 0x03, 0x16, 0x81, 0x20, 0x00, 0xDC, 0x00,
                       0xDD, 0x00, 0xDE, 0x00, 0x7B, 0x00, 0x7C, 0x03, 0xE8, 0x00, 0x05, 0xD5};
    EXPECT_EQ(p[0], worked);
    EXPECT_EQ(p[1], erasedEventRecordBytes());
    EXPECT_EQ(p[2], worked);
    const EventRecord impossible = decodeEventRecord(p[3]);
    EXPECT_EQ(impossible.stamp, (ClockStamp{0, 0, 24, 31, 2, 21}));
    EXPECT_EQ(impossible.orderDigit, 0);
    EXPECT_EQ(impossible.state, 0x80);
    EXPECT_EQ(impossible.cosByte, 50);
    EXPECT_EQ(impossible.uaVolts, 0);
    for (std::size_t entry = 4; entry < p.size(); ++entry) {
        ASSERT_EQ(p[entry], erasedEventRecordBytes()) << entry;
    }
}

TEST(EventProtocolFile, mistakesAreRefusedNamingTheLine) {
    const auto errorOf = [](const std::string& text) {
        const auto parsed = parseEventProtocol(text);
        const auto* error = std::get_if<EventProtocolError>(&parsed);
        return error ? error->message : std::string("accepted");
    };
    EXPECT_EQ(errorOf("\n\nerased 00").rfind("line 3: a record in hex has 24 bytes", 0), 0u);
    EXPECT_NE(errorOf("05.03.16 14:30:45 volts=3").find("unknown field \"volts\""),
              std::string::npos);
    EXPECT_NE(errorOf("05.03.16 14:30:45:16").find("order digit"), std::string::npos);
    EXPECT_NE(errorOf("46.03.16 14:30:45").find("the day"), std::string::npos);
    EXPECT_NE(errorOf("05.03.16").find("dd.mm.yy hh:mm:ss"), std::string::npos);
    EXPECT_NE(errorOf("05.03.16 14:30:45 i=1,2").find("three values"), std::string::npos);
    EXPECT_NE(errorOf("05.03.16 14:30:45 cos=1.5").find("cos"), std::string::npos);
    EXPECT_NE(errorOf("05.03.16 14:30:45 state=1FF").find("state"), std::string::npos);
    std::string tooMany;
    for (int i = 0; i < 101; ++i) {
        tooMany += "erased\n";
    }
    EXPECT_EQ(errorOf(tooMany).rfind("line 101:", 0), 0u);
    EXPECT_NE(std::get<EventProtocolError>(loadEventProtocolFile("/nonexistent/events.txt"))
                  .message.find("/nonexistent/events.txt"),
              std::string::npos);
}

TEST(CommandLine, eventProtocolFromACountOrAFileButNotBoth) {
    const auto parse = [](std::vector<std::string> args) { return parseCommandLine(args); };
    const auto counted = parse({"--event-count", "5"});
    ASSERT_TRUE(std::holds_alternative<CommandLine>(counted));
    EXPECT_EQ(std::get<CommandLine>(counted).options.unit.events, builtInEventProtocol(5));

    const auto fromFile = parse({"--events=protocol.txt"});
    ASSERT_TRUE(std::holds_alternative<CommandLine>(fromFile));
    EXPECT_EQ(std::get<CommandLine>(fromFile).eventsFile, "protocol.txt");

    for (const auto& bad : {std::vector<std::string>{"--event-count", "101"},
                            std::vector<std::string>{"--events", "f", "--event-count", "3"}}) {
        ASSERT_TRUE(std::holds_alternative<CommandLineError>(parse(bad))) << bad[0];
    }
    for (const char* option : {"--events", "--event-count"}) {
        EXPECT_NE(helpText().find(option), std::string::npos) << option;
    }
}
