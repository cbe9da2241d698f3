#include "sim/unit_server.hpp"

#include "sim/command_line.hpp"

#include <gtest/gtest.h>

#include <memory>

using namespace torl7;
using namespace torl7::sim;
using std::chrono::milliseconds;

namespace {

// An in-memory line: records what the unit writes and the speed changes it makes, in order.
class MemoryLine final : public Transport {
public:
    std::string portPath() const override { return "memory"; }
    std::optional<Bytes> read(milliseconds) override { return Bytes{}; }
    bool write(ByteSpan bytes) override {
        log.push_back("write " + std::to_string(bytes.size()));
        written.insert(written.end(), bytes.begin(), bytes.end());
        return true;
    }
    std::optional<int> lineSpeedBaud() override { return toolSpeed; }
    void setLineSpeedBaud(int baud) override {
        log.push_back("speed " + std::to_string(baud));
        toolSpeed = baud;
    }
    bool hangUp() override {
        log.push_back("hangup");
        return true;
    }
    void interrupt() override {}

    int toolSpeed = 115200;
    Bytes written;
    std::vector<std::string> log;
};

class UnitServerTest : public ::testing::Test {
protected:
    void feed(const Bytes& bytes) { ASSERT_TRUE(server.receive(bytes)); }

    FixedClock clock{WallTime{}};
    MemoryLine line;
    UnitModel model{UnitOptions{}, clock};
    FaultInjector faults;
    UnitServer server{line, model, faults};
    const Bytes ping = buildFrame(600, 0, {});
};

TEST_F(UnitServerTest, twoRequestsInOneRead_areBothAnswered) {
    Bytes both = ping;
    const Bytes reset = buildFrame(600, 5, {});
    both.insert(both.end(), reset.begin(), reset.end());
    feed(both);
    Bytes expected = buildFrame(600, 0, Bytes{5, 0});
    expected.insert(expected.end(), reset.begin(), reset.end());
    EXPECT_EQ(line.written, expected);
}

TEST_F(UnitServerTest, bytesAtAnotherSpeed_areGarbageAndSpoilAFrameInProgress) {
    line.toolSpeed = 9600;
    feed(ping);
    EXPECT_TRUE(line.written.empty());

    line.toolSpeed = 115200;
    feed(Bytes(ping.begin(), ping.begin() + 4));
    line.toolSpeed = 57600;
    feed(Bytes(ping.begin() + 4, ping.end()));
    line.toolSpeed = 115200;
    feed(Bytes(ping.begin() + 4, ping.end()));
    EXPECT_TRUE(line.written.empty());

    feed(ping);
    EXPECT_FALSE(line.written.empty());
}

TEST_F(UnitServerTest, followedSpeedChange_movesTheLineOnlyAfterTheAnswerLeft) {
    model.state().askToFollowSpeedChange = true;
    feed(buildFrame(600, 0, Bytes{4}));
    EXPECT_EQ(line.log, (std::vector<std::string>{"write 9", "speed 4800"}));
    line.written.clear();
    feed(ping);
    EXPECT_EQ(line.written, buildFrame(600, 0, Bytes{4}));
}

TEST_F(UnitServerTest, hangUp_cutsTheAnswerAndForgetsWhatWasGathered) {
    FaultOptions options;
    options.rules = {{FaultKind::HangUp, 1, 1}};
    FaultInjector hangUp(options);
    UnitServer hanging(line, model, hangUp);
    Bytes stream = ping;
    stream.insert(stream.end(), ping.begin(), ping.begin() + 3); // the start of a next request
    ASSERT_TRUE(hanging.receive(stream));
    ASSERT_TRUE(hanging.receive(Bytes(ping.begin() + 3, ping.end())));
    EXPECT_EQ(line.log, (std::vector<std::string>{"write 5", "hangup"}));
}

TEST_F(UnitServerTest, wireTimeAnswers_onlyTheFirstAnswersTakeTheirWireTime) {
    ServerOptions options;
    options.wireTime = true;
    options.wireTimeAnswers = 1;
    UnitServer slow(line, model, faults, options);
    model.state().lineSpeedBaud = line.toolSpeed = 2400;
    const auto answerTime = wireTime(ping.size() + buildFrame(600, 0, Bytes{5, 0}).size(), 2400);
    const auto timed = [&] {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(slow.receive(ping));
        return std::chrono::steady_clock::now() - start;
    };
    EXPECT_GE(timed(), answerTime);
    EXPECT_LT(timed(), answerTime / 2);
}

} // namespace

// Units on one line as torl7-sim's command line sets them up, each with its model and faults.
class BusTest : public ::testing::Test {
protected:
    void startBus(const std::vector<std::string>& args) {
        server.reset();
        models.clear();
        faults.clear();
        const auto line = std::get<CommandLine>(parseCommandLine(args));
        UnitBus bus;
        for (const SimOptions& unit : unitsOnLine(line.options, line.units, line.unitFaults)) {
            models.push_back(std::make_unique<UnitModel>(unit.unit, clock));
            faults.push_back(std::make_unique<FaultInjector>(unit.faults));
            bus.attach(*models.back(), *faults.back());
        }
        server = std::make_unique<UnitServer>(wire, std::move(bus));
        server->setListener([this](const ServerEvent& event) {
            lastKind = event.kind;
            if (event.kind == ServerEvent::Kind::Answer ||
                event.kind == ServerEvent::Kind::Silent) {
                lastUnit = event.unit;
            }
        });
    }
    // What the line carries after a ping to `number`.
    Bytes ping(std::uint16_t number) {
        wire.written.clear();
        EXPECT_TRUE(server->receive(buildFrame(number, 0, {})));
        return wire.written;
    }

    FixedClock clock{WallTime{}};
    MemoryLine wire;
    std::vector<std::unique_ptr<UnitModel>> models;
    std::vector<std::unique_ptr<FaultInjector>> faults;
    std::unique_ptr<UnitServer> server;
    std::uint16_t lastUnit = 1;
    ServerEvent::Kind lastKind = ServerEvent::Kind::LineFailed;
};

TEST_F(BusTest, eachUnitAnswersOnlyItsOwnNumberCountingItsOwnAnswersForItsFaults) {
    startBus({"--unit", "600", "--unit", "601", "--unit", "615", "--fault", "wrong-code@3",
              "--fault", "601:drop@2", "--fault", "615:drop"});
    const auto answer = [](std::uint16_t number, std::uint8_t code) {
        return buildFrame(number, code, Bytes{5, 0});
    };
    const struct {
        std::uint16_t number;
        Bytes wire;
        std::uint16_t unit; // named in the answer's or the silence's event
    } rows[] = {
        {600, answer(600, 0), 600},
        {601, answer(601, 0), 601},
        {601, {}, 601},             // 601's second answer is dropped
        {600, answer(600, 0), 600}, // and 600's second is not
        {615, {}, 615},             // silent from the start
        {598, {}, 0},               // no unit has the number
        {600, answer(600, 9), 600}, // every unit's own third answer: the wrong code
        {601, answer(601, 9), 601},
        {615, {}, 615},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ping(row.number), row.wire) << row.number;
        EXPECT_EQ(lastUnit, row.unit) << row.number;
    }
    const auto installation = [](UnitModel& model, FaultInjector&) {
        return unitTextFrom16(model.state().record.installation);
    };
    EXPECT_EQ(server->withUnit(615, installation), "Ячейка 615      ");
    EXPECT_THROW(server->withUnit(700, installation), std::out_of_range);
}

TEST_F(BusTest, aFrameForNobodyIsEchoedOnlyWhenEveryUnitsLineEchoes) {
    startBus({"--unit", "600-601", "--fault", "echo"});
    EXPECT_EQ(ping(598), buildFrame(598, 0, {}));
    startBus({"--unit", "600-601", "--fault", "601:echo"});
    EXPECT_EQ(ping(598), Bytes{});
}

TEST_F(BusTest, aFollowedSpeedChangeMovesOnlyTheUnitAsked) {
    startBus({"--unit", "600-601", "--follow"});
    EXPECT_TRUE(server->receive(buildFrame(601, 0, Bytes{4}))); // 601 to 4800 baud
    ASSERT_EQ(wire.toolSpeed, 4800);
    EXPECT_EQ(ping(600), Bytes{}) << "600 hears garbage at 4800";
    EXPECT_EQ(ping(601), buildFrame(601, 0, Bytes{4}));
    wire.toolSpeed = 115200;
    EXPECT_EQ(ping(600), buildFrame(600, 0, Bytes{10})); // index 10: 115200 baud
    EXPECT_EQ(ping(601), Bytes{}) << "601 hears garbage at 115200";
    wire.toolSpeed = 9600;
    ping(600);
    EXPECT_EQ(lastKind, ServerEvent::Kind::IgnoredAtWrongSpeed) << "no unit listens at 9600";
}
