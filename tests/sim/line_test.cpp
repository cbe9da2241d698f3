// The simulated unit over real pseudo-terminals, driven by a raw client.
#include "raw_client.hpp"

#include "protocol/codecs/accounting_codec.hpp"
#include "protocol/codecs/calibration_codec.hpp"
#include "protocol/codecs/clock_codec.hpp"
#include "protocol/codecs/config_record_codec.hpp"
#include "protocol/codecs/event_codec.hpp"
#include "protocol/codecs/snapshot_codec.hpp"
#include "protocol/codecs/version_codec.hpp"
#include "protocol/codecs/waveform_codec.hpp"
#include "protocol/frame.hpp"
#include "sim/line_settings.hpp"
#include "sim/simulated_unit.hpp"

#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace torl7;
using namespace torl7::sim;
using namespace torl7::sim::testing;
using std::chrono::milliseconds;

namespace {

const Bytes kPing = buildFrame(600, 0, {});
const Bytes kPingAnswer = buildFrame(600, 0, Bytes{5, 0});

SimOptions unitAt(int baud) {
    SimOptions options;
    options.unit.lineSpeedBaud = baud;
    return options;
}

class LineTest : public ::testing::Test {
protected:
    std::string startUnit(SimOptions options = {}) {
        options.clock = &clock;
        return unit.start(options);
    }
    std::string startWithFault(FaultKind kind, int splitPieces = 3,
                               milliseconds splitGap = milliseconds{40},
                               std::optional<milliseconds> lateBy = std::nullopt) {
        SimOptions options;
        options.faults.rules = {{kind}};
        options.faults.parameters.splitPieces = splitPieces;
        options.faults.parameters.splitGap = splitGap;
        options.faults.parameters.lateBy = lateBy;
        return startUnit(options);
    }

    FixedClock clock{WallTime{}};
    SimulatedUnit unit;
};

TEST_F(LineTest, ping_isAnsweredOnThePrintedPath) {
    RawClient client(startUnit(), 115200);
    EXPECT_EQ(client.exchange(kPing), kPingAnswer);
}

TEST_F(LineTest, requestsAtAnotherSpeedOrForAnotherUnit_meetSilence) {
    RawClient client(startUnit(), 9600);
    EXPECT_TRUE(client.exchange(kPing).empty());
    client.setSpeed(115200);
    EXPECT_TRUE(client.exchange(buildFrame(601, 0, {})).empty());
    EXPECT_EQ(client.exchange(kPing), kPingAnswer);
}

TEST_F(LineTest, customRate14400_isReadFromTheToolsSide) {
    RawClient client(startUnit(unitAt(14400)), 115200);
    EXPECT_TRUE(client.exchange(kPing).empty());
    client.setSpeed(14400);
    EXPECT_EQ(client.exchange(kPing), kPingAnswer);
}

TEST_F(LineTest, closingAndReopeningThePort_keepsTheUnitServing) {
    const std::string path = startUnit();
    for (int round = 0; round < 3; ++round) {
        RawClient client(path, 115200);
        EXPECT_EQ(client.exchange(kPing), kPingAnswer) << "round " << round;
    }
    EXPECT_TRUE(unit.running());
}

TEST_F(LineTest, followedSpeedChange_isAnsweredAtTheOldSpeedThenServedAtTheNew) {
    SimOptions options;
    options.unit.askToFollowSpeedChange = true;
    RawClient client(startUnit(options), 115200);
    EXPECT_EQ(client.exchange(kPing), buildFrame(600, 0, Bytes{10}));
    EXPECT_EQ(client.exchange(buildFrame(600, 0, Bytes{7})), buildFrame(600, 0, Bytes{7}));
    EXPECT_TRUE(client.exchange(kPing).empty());
    client.setSpeed(19200);
    EXPECT_EQ(client.exchange(kPing), buildFrame(600, 0, Bytes{7}));
}

TEST_F(LineTest, wireTime_delaysTheAnswerByTheBytesTimeAtTheLineSpeed) {
    SimOptions options = unitAt(1200);
    options.server.wireTime = true;
    RawClient client(startUnit(options), 1200);
    client.write(kPing);
    const auto arrivals = client.readUntilQuiet(milliseconds{300}, milliseconds{2000});
    ASSERT_FALSE(arrivals.empty());
    EXPECT_GE(arrivals.front().at, milliseconds{150}); // 18 bytes of 10 bits at 1200 baud
    EXPECT_EQ(joined(arrivals), kPingAnswer);
}

// Each fault seen from the tool's side of the line.
TEST_F(LineTest, fault_drop_leavesTheLineSilent) {
    RawClient client(startWithFault(FaultKind::Drop), 115200);
    EXPECT_TRUE(client.exchange(kPing, milliseconds{300}).empty());
}

TEST_F(LineTest, fault_corruptOversizedWrongCode_changeTheFramesBytes) {
    {
        RawClient client(startWithFault(FaultKind::CorruptChecksum), 115200);
        const Bytes got = client.exchange(kPing);
        ASSERT_EQ(got.size(), kPingAnswer.size());
        EXPECT_FALSE(parseFrame(got));
        unit.stop();
    }
    {
        RawClient client(startWithFault(FaultKind::OversizedLength), 115200);
        EXPECT_EQ(client.exchange(kPing).at(5), 0xF8);
        unit.stop();
    }
    RawClient client(startWithFault(FaultKind::WrongCode), 115200);
    const auto frame = parseFrame(client.exchange(kPing));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->command(), 9);
}

TEST_F(LineTest, fault_noiseEchoTrailing_addBytesAroundTheAnswer) {
    {
        RawClient client(startWithFault(FaultKind::Noise), 115200);
        const Bytes got = client.exchange(kPing);
        ASSERT_EQ(got.size(), kPingAnswer.size() + 5);
        EXPECT_TRUE(std::equal(kPingAnswer.begin(), kPingAnswer.end(), got.begin() + 5));
        unit.stop();
    }
    {
        RawClient client(startWithFault(FaultKind::Echo), 115200);
        Bytes expected = kPing;
        expected.insert(expected.end(), kPingAnswer.begin(), kPingAnswer.end());
        EXPECT_EQ(client.exchange(kPing), expected);
        unit.stop();
    }
    RawClient client(startWithFault(FaultKind::TrailingBytes), 115200);
    const Bytes got = client.exchange(kPing);
    ASSERT_EQ(got.size(), kPingAnswer.size() + 3);
    EXPECT_TRUE(std::equal(kPingAnswer.begin(), kPingAnswer.end(), got.begin()));
}

TEST_F(LineTest, fault_splitAndLate_changeWhenTheBytesArrive) {
    {
        RawClient client(startWithFault(FaultKind::Split, 2, milliseconds{120}), 115200);
        client.write(kPing);
        const auto arrivals = client.readUntilQuiet(milliseconds{300}, milliseconds{2000});
        ASSERT_EQ(arrivals.size(), 2u);
        EXPECT_GE(arrivals[1].at - arrivals[0].at, milliseconds{100});
        EXPECT_EQ(joined(arrivals), kPingAnswer);
        unit.stop();
    }
    RawClient client(startWithFault(FaultKind::Late, 3, milliseconds{0}, milliseconds{400}),
                     115200);
    client.write(kPing);
    const auto arrivals = client.readUntilQuiet(milliseconds{600}, milliseconds{2000});
    ASSERT_FALSE(arrivals.empty());
    EXPECT_GE(arrivals.front().at, milliseconds{390});
    EXPECT_EQ(joined(arrivals), kPingAnswer);
}

TEST_F(LineTest, fault_hangUp_cutsTheAnswerDropsTheLineAndServesANewPath) {
    SimOptions options;
    options.faults.rules = {{FaultKind::HangUp, 1, 1}};
    const std::string first = startUnit(options);
    RawClient client(first, 115200);
    client.write(kPing);
    const Bytes got = joined(client.readUntilQuiet(milliseconds{150}, milliseconds{1000}));
    EXPECT_EQ(got, Bytes(kPingAnswer.begin(), kPingAnswer.begin() + 5));
    EXPECT_TRUE(client.seesHangUp(milliseconds{1000}));
    std::string second = unit.portPath();
    for (int i = 0; i < 100 && second == first; ++i) {
        std::this_thread::sleep_for(milliseconds{10});
        second = unit.portPath();
    }
    ASSERT_NE(second, first);
    RawClient again(second, 115200);
    EXPECT_EQ(again.exchange(kPing), kPingAnswer);
}

TEST_F(LineTest, device_isServedAtTheUnitsSpeed) {
    // A pseudo-terminal stands in for the serial port: the unit opens its slave side as a
    // device, the test talks on the master.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string device = ::ptsname(master);
    SimOptions options = unitAt(9600);
    options.devicePath = device;
    startUnit(options);
    EXPECT_EQ(readLineSpeedBaud(master), 9600);
    ASSERT_EQ(::write(master, kPing.data(), kPing.size()), static_cast<ssize_t>(kPing.size()));
    Bytes got;
    pollfd in{master, POLLIN, 0};
    while (got.size() < kPingAnswer.size() && ::poll(&in, 1, 1000) > 0) {
        std::uint8_t buffer[64];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        got.insert(got.end(), buffer, buffer + n);
    }
    EXPECT_EQ(got, kPingAnswer);
    unit.stop();
    ::close(master);
}

// One exchange per request kind, as the tool makes it.
class RequestKindTest : public LineTest {
protected:
    void SetUp() override {
        SimOptions options;
        options.unit.versionText = "Версия 1.0";
        options.unit.uminLimitVolts = 150;
        client = std::make_unique<RawClient>(startUnit(options), 115200);
    }

    // The answer, which must be one well-formed frame with the request's code.
    Frame ask(std::uint8_t kind, const Bytes& payload = {}) {
        const Bytes got = client->exchange(buildFrame(600, kind, payload));
        auto frame = parseFrame(got);
        if (!frame) {
            ADD_FAILURE() << "no frame for kind " << int(kind) << ", got " << got.size()
                          << " bytes";
            return Frame(buildFrame(600, 255, {}));
        }
        EXPECT_EQ(frame->command(), kind);
        return *frame;
    }

    std::unique_ptr<RawClient> client;
};

TEST_F(RequestKindTest, kind1_snapshotShowsTheUnitsClockAfterACorrection) {
    // The unit's clock is set a day and an hour ahead of the PC; the snapshot reads it back.
    const auto ahead = std::chrono::system_clock::now() + std::chrono::hours{25};
    ClockCorrection correction;
    correction.clock = clockRegisters(ahead, false);
    ask(4, encodeClockCorrection(correction, 2000 + correction.clock.year));
    const Snapshot s = decodeSnapshot(ask(1, {0}).payload());
    std::tm shown{};
    shown.tm_sec = s.clock.seconds;
    shown.tm_min = s.clock.minutes;
    shown.tm_hour = s.clock.hours;
    shown.tm_mday = s.clock.day;
    shown.tm_mon = s.clock.month - 1;
    shown.tm_year = 100 + s.clock.year;
    shown.tm_isdst = -1;
    EXPECT_NEAR(static_cast<double>(std::mktime(&shown)),
                static_cast<double>(std::chrono::system_clock::to_time_t(ahead)), 3.0);
    EXPECT_NEAR(s.uaVolts, 230, 2);
}

TEST_F(RequestKindTest, kind1_waveformBlock) {
    const Frame answer = ask(1, {17});
    EXPECT_EQ(answer.length(), kWaveformBlockSize);
    EXPECT_EQ(decodeWaveformBlock(answer.payload()).selector, 17);
}

TEST_F(RequestKindTest, kind1_calibrationSample) {
    const Frame answer = ask(1, {kCalibrationSelector});
    EXPECT_EQ(answer.reader().byte(0), kCalibrationSelector);
    // 230 V on a channel of coefficient 570 reads 131100.
    EXPECT_EQ(decodeCalibrationSample(answer.payload()).readings[0], 131100u);
}

TEST_F(RequestKindTest, kind2And3_configurationWriteThenReadBack) {
    ConfigRecord record;
    record.uminVolts = 160;
    record.installation = unitText16("Цех 2");
    EXPECT_EQ(ask(3, configWritePayload(record)).reader().byte(0), kWriteSubModeConfig);
    const ConfigRecord readBack = decodeConfigRecord(ask(2).payload());
    EXPECT_EQ(readBack.installation, record.installation);
    EXPECT_EQ(readBack.uminVolts, 150); // the unit's limit
}

TEST_F(RequestKindTest, kind3_coefficientWrite) {
    const auto ack = decodeCoefficientAck(
        ask(3, *coefficientWritePayload({600, 600, 600, 210, 210, 210, 4000})).payload());
    EXPECT_EQ(ack.coefficients[6], 4000);
    EXPECT_TRUE(ack.protectionBlocked);
}

TEST_F(RequestKindTest, kind4_clockCorrection) {
    ClockCorrection correction;
    correction.clock = ClockBlock{9, 5, 14, 3, 8, 12, 26, false};
    EXPECT_EQ(ask(4, encodeClockCorrection(correction, 2026)).length(), 0);
}

TEST_F(RequestKindTest, kind5_protectionReset) {
    EXPECT_EQ(ask(5).length(), 0);
}

TEST_F(RequestKindTest, kind6_everyEventBlockInTurn) {
    for (std::uint8_t b = 0; b < kEventBlocks; ++b) {
        const Frame answer = ask(6, {b});
        EXPECT_EQ(answer.length(), kEventBlockSize);
        EXPECT_EQ(answer.reader().byte(0), b);
    }
    EXPECT_TRUE(client->exchange(buildFrame(600, 6, Bytes{10})).empty());
}

TEST_F(RequestKindTest, kind7And8_accountingReadAndReset) {
    EXPECT_GT(decodeAccounting(ask(7).payload()).starts, 0);
    const AccountingRecord reset = decodeAccounting(ask(8).payload());
    EXPECT_EQ(reset.starts, 0);
    EXPECT_EQ(reset.runningSeconds, 0u);
}

TEST_F(RequestKindTest, kind15_version) {
    EXPECT_EQ(decodeVersionText(ask(15).payload()), "Версия 1.0      ");
}

} // namespace
