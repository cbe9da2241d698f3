// The device search on the fake line: what ends it, and the pace it keeps.
#include "protocol/codecs/speed_change_codec.hpp"
#include "protocol/line_speed.hpp"
#include "session/operations/unit_search.hpp"
#include "support/fake_serial_line.hpp"

#include <gtest/gtest.h>

using namespace torl7;
using namespace torl7::test;

namespace {

class UnitSearchTest : public ::testing::Test {
protected:
    UnitSearchTest() {
        session.setPort(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("ttyUSB0"));
        EXPECT_FALSE(session.openPort());
        search.onFinished([this](const Outcome<SearchResult>& o) {
            if (o) {
                found = o.result->found;
            }
        });
    }
    // Ticks until the search ends; the unit at `unitBaud` answers each ping it hears.
    void runAgainst(int unitBaud, const Bytes& answer) {
        for (int tick = 0; tick < 40 && !found; ++tick) {
            const std::size_t before = line.writes.size();
            search.tick();
            if (line.writes.size() == before) {
                continue;
            }
            waits.push_back(search.pingWait());
            if (line.baudRate() == unitBaud) {
                line.feedBytes(buildFrame(601, kind::Ping, answer));
            }
        }
    }

    FakeSerialLine line;
    UnitSession session{line};
    UnitSearch search{session};
    std::optional<bool> found;
    std::vector<int> waits; // how long each ping waits for its answer
};

} // namespace

TEST_F(UnitSearchTest, anAnswerWithAPayloadEndsItAtTheNextTickAndAnEmptyOneDoesNot) {
    struct Case {
        Bytes answer;
        bool found;
        std::size_t pings;
    };
    const Case cases[] = {{{5}, true, 7}, {{1, 2}, true, 7}, {{}, false, 22}};
    for (const Case& c : cases) {
        line.clearWritten();
        found.reset();
        search.start(600);
        runAgainst(2400, c.answer);
        EXPECT_EQ(found, c.found) << c.answer.size() << " payload bytes";
        EXPECT_EQ(line.writes.size(), c.pings);
        EXPECT_EQ(search.step(),
                  c.found ? UnitSearch::Step::Found : UnitSearch::Step::AllSpeedsTried);
        EXPECT_EQ(line.baudRate(), c.found ? 2400 : 115200) << "left where it ended";
        EXPECT_TRUE(line.isOpen());
    }
}

TEST_F(UnitSearchTest, eachSpeedWaitsItsOwnPingWaitUnlessOneWaitIsGiven) {
    search.start(600);
    runAgainst(0, {});
    std::vector<int> expected;
    for (int wait : {800, 400, 200, 100}) {
        expected.insert(expected.end(), {wait, wait});
    }
    expected.resize(22, 50);
    EXPECT_EQ(waits, expected);

    waits.clear();
    found.reset();
    search.start(600, 120);
    runAgainst(0, {});
    EXPECT_EQ(waits, std::vector<int>(22, 120));
}

TEST_F(UnitSearchTest, stoppedItIgnoresTheAnswerUnderWayAndTicksNoMore) {
    search.start(600);
    search.tick();
    search.cancel();
    line.feedBytes(buildFrame(601, kind::Ping, Bytes{5}));
    search.tick();
    EXPECT_EQ(search.step(), UnitSearch::Step::Idle);
    EXPECT_EQ(line.writes.size(), 1u);
    EXPECT_FALSE(found);
}
