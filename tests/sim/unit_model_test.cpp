#include "sim/unit_model.hpp"

#include "protocol/codecs/calibration_codec.hpp"
#include "protocol/codecs/clock_codec.hpp"
#include "protocol/codecs/version_codec.hpp"

#include <gtest/gtest.h>

#include <random>

using namespace torl7;
using namespace torl7::sim;

namespace {

class UnitModelTest : public ::testing::Test {
protected:
    Frame request(std::uint8_t command, Bytes payload = {}, std::uint16_t unit = 600) {
        return *parseFrame(buildFrame(unit, command, payload));
    }

    // The single answer frame, checked for a good sum and the unit's own header.
    Frame onlyAnswer(const Frame& req) {
        const auto answers = model.handle(req);
        EXPECT_EQ(answers.size(), 1u);
        if (answers.empty()) {
            return Frame(Bytes(kFrameOverhead, 0));
        }
        auto frame = parseFrame(answers.front());
        EXPECT_TRUE(frame.has_value());
        EXPECT_EQ(frame->factoryNumber(), model.state().factoryNumber);
        EXPECT_EQ(frame->command(), req.command());
        return *frame;
    }

    FixedClock clock{WallTime{}};
    UnitModel model{UnitOptions{}, clock};
};

TEST_F(UnitModelTest, ping_isAnsweredWithLengthTwo_soTheToolKeepsItsSpeed) {
    EXPECT_EQ(onlyAnswer(request(0)).length(), 2);
}

TEST_F(UnitModelTest, ping_withFollowOption_isAnsweredWithLengthOne) {
    model.state().askToFollowSpeedChange = true;
    EXPECT_EQ(onlyAnswer(request(0)).length(), 1);
}

TEST_F(UnitModelTest, requestsForAnotherUnitOrUnknownCommands_areNotAnswered) {
    EXPECT_TRUE(model.handle(request(0, {}, 601)).empty());
    EXPECT_TRUE(model.handle(request(5, {}, 599)).empty());
    EXPECT_TRUE(model.handle(request(9)).empty());
    EXPECT_TRUE(model.handle(request(200)).empty());
}

TEST_F(UnitModelTest, speedSet_withFollow_movesTheLineAndTheBusSpeedAfterANonEmptyAnswer) {
    model.state().askToFollowSpeedChange = true;
    EXPECT_GT(onlyAnswer(request(0, {7})).length(), 0);
    EXPECT_EQ(model.state().lineSpeedBaud, 19200);
    EXPECT_EQ(model.state().record.rs485SpeedIndex, 7);
}

TEST_F(UnitModelTest, speedSet_withoutFollow_changesTheBusSpeedOnly) {
    EXPECT_GT(onlyAnswer(request(0, {0})).length(), 0);
    EXPECT_EQ(model.state().lineSpeedBaud, 115200);
    EXPECT_EQ(model.state().record.rs485SpeedIndex, 0);
}

TEST_F(UnitModelTest, speedSet_withAnIndexThatNamesNoSpeed_isRefusedSilently) {
    model.state().askToFollowSpeedChange = true;
    EXPECT_TRUE(model.handle(request(0, {11})).empty());
    EXPECT_TRUE(model.handle(request(0, {0xFF})).empty());
    EXPECT_EQ(model.state().lineSpeedBaud, 115200);
    EXPECT_EQ(model.state().record.rs485SpeedIndex, 5);
}

TEST_F(UnitModelTest, protectionReset_isAcknowledged) {
    EXPECT_EQ(onlyAnswer(request(5)).length(), 0);
}

} // namespace

namespace {

class StoreTest : public UnitModelTest {
protected:
    ConfigRecord readRecord() { return decodeConfigRecord(onlyAnswer(request(2)).payload()); }
};

TEST_F(StoreTest, configurationWrite_isStoredAndReadBack) {
    ConfigRecord record;
    record.uminVolts = 180;
    record.vtzTenthsOfSecond = 1234;
    record.equipmentType = unitText16("Насос №3");
    record.coefficients[6] = 4321;
    const Frame ack = onlyAnswer(request(3, configWritePayload(record)));
    EXPECT_EQ(ack.reader().byte(0), kWriteSubModeConfig);
    EXPECT_EQ(readRecord(), record);
}

TEST_F(StoreTest, limitedUmin_makesTheReadBackDiffer) {
    model.state().uminLimitVolts = 150;
    ConfigRecord record;
    record.uminVolts = 170;
    onlyAnswer(request(3, configWritePayload(record)));
    EXPECT_EQ(readRecord().uminVolts, 150);
}

TEST_F(StoreTest, cutConfigurationWrite_isNeitherStoredNorAnswered) {
    ConfigRecord record;
    record.uminVolts = 111;
    Bytes payload = configWritePayload(record);
    payload.pop_back();
    EXPECT_TRUE(model.handle(request(3, payload)).empty());
    EXPECT_EQ(readRecord(), ConfigRecord{});
}

TEST_F(StoreTest, busSpeedInAConfigurationWrite_movesTheLineOnlyWhenFollowing) {
    ConfigRecord record;
    record.rs485SpeedIndex = 3;
    onlyAnswer(request(3, configWritePayload(record)));
    EXPECT_EQ(model.state().lineSpeedBaud, 115200);
    EXPECT_EQ(readRecord().rs485SpeedIndex, 3);

    model.state().askToFollowSpeedChange = true;
    record.rs485SpeedIndex = 6;
    onlyAnswer(request(3, configWritePayload(record)));
    EXPECT_EQ(model.state().lineSpeedBaud, 14400);
}

TEST_F(StoreTest, coefficientWrite_storesBlocksTheProtectionAndAcknowledgesWhatItHolds) {
    model.state().coefficientLimit = 6000;
    const auto payload = coefficientWritePayload({571, 572, 573, 201, 202, 203, 6001});
    ASSERT_TRUE(payload);
    const auto ack = decodeCoefficientAck(onlyAnswer(request(3, *payload)).payload());
    const std::array<std::uint16_t, 7> held{571, 572, 573, 201, 202, 203, 6000};
    EXPECT_EQ(ack.coefficients, held);
    EXPECT_TRUE(ack.protectionBlocked);
    const ConfigRecord record = readRecord();
    EXPECT_EQ(record.coefficients, held);
    EXPECT_TRUE(decomposeControlByte(record.controlByte).blockOn);
}

// What the tool's auto-calibration computes from ten samples of every channel.
std::array<std::optional<std::int64_t>, 7> autoCalibrate(UnitModel& model,
                                                         const InputQuantities& references) {
    std::array<CalibrationSum, 7> sums{};
    for (int i = 0; i < kCalibrationSampleCount; ++i) {
        const auto answers = model.handle(*parseFrame(buildFrame(600, 1, Bytes{4})));
        EXPECT_EQ(answers.size(), 1u);
        const auto frame = parseFrame(answers.at(0));
        EXPECT_EQ(frame->reader().byte(0), kCalibrationSelector);
        const auto sample = decodeCalibrationSample(frame->payload());
        for (std::size_t c = 0; c < 7; ++c) {
            sums[c] += static_cast<CalibrationSum>(sample.readings[c]);
        }
    }
    std::array<std::optional<std::int64_t>, 7> coefficients;
    for (std::size_t c = 0; c < 7; ++c) {
        coefficients[c] = computeCoefficient(static_cast<Channel>(c), sums[c], references[c]);
    }
    return coefficients;
}

TEST_F(UnitModelTest, autoCalibrationAgainstTheAppliedInputs_givesBackTheStoredCoefficients) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coefficient(1, 65535);
    const std::vector<double> references{0.3, 0.5, 1, 2.5, 5, 7.3, 10, 12, 100, 230, 230.1, 400};
    for (int round = 0; round < 300; ++round) {
        for (std::size_t c = 0; c < 7; ++c) {
            model.state().record.coefficients[c] = static_cast<std::uint16_t>(coefficient(rng));
            model.state().inputs[c] = references[rng() % references.size()];
        }
        const auto computed = autoCalibrate(model, model.state().inputs);
        for (std::size_t c = 0; c < 7; ++c) {
            const double product = model.state().record.coefficients[c] * model.state().inputs[c];
            // A reading that does not fit 24 bits, or a reference so small that one step of the
            // reading moves the coefficient by more than one, cannot give it back exactly.
            const double step = (c >= 3 && c <= 5 ? 2.0 : 1.0) / model.state().inputs[c];
            if (product > 0xFFFFFF || step > 1.0) {
                continue;
            }
            EXPECT_EQ(computed[c], model.state().record.coefficients[c])
                << "channel " << c << " reference " << model.state().inputs[c];
        }
    }
}

TEST_F(UnitModelTest, clockCorrection_setsTheUnitsClockWhichThenRunsWithThePcs) {
    clock.set(std::chrono::system_clock::from_time_t(1'700'000'000) +
              std::chrono::milliseconds{700});
    ClockCorrection correction;
    correction.calibration = -5;
    correction.autoDst = true;
    correction.clock = ClockBlock{9, 5, 14, 3, 8, 12, 26, false};
    EXPECT_EQ(onlyAnswer(request(4, encodeClockCorrection(correction, 2026))).length(), 0);

    const auto registersNow = [&] {
        return clockRegisters(unitTime(model.state().clock, clock.now()),
                              model.state().clock.stopped);
    };
    EXPECT_EQ(registersNow(), correction.clock);
    EXPECT_EQ(model.state().clock.calibration, -5);
    EXPECT_TRUE(model.state().clock.autoDst);
    clock.advance(std::chrono::seconds{61});
    EXPECT_EQ(registersNow(), (ClockBlock{10, 6, 14, 3, 8, 12, 26, false}));

    correction.clock.stopped = true;
    onlyAnswer(request(4, encodeClockCorrection(correction, 2026)));
    clock.advance(std::chrono::hours{5});
    EXPECT_EQ(registersNow(), correction.clock);
}

TEST_F(UnitModelTest, version_isSixteenCodePageBytes) {
    model.state().versionText = "ТОРЛ-7 в.3";
    const Frame answer = onlyAnswer(request(15));
    EXPECT_EQ(answer.length(), 16);
    EXPECT_EQ(decodeVersionText(answer.payload()), "ТОРЛ-7 в.3      ");
}

} // namespace
