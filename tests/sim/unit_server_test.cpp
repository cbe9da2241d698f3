#include "sim/unit_server.hpp"

#include <gtest/gtest.h>

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
