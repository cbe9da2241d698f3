// The configuration store and calibration readings of the simulated unit, without I/O.
#include "config/calibration_codec.hpp"
#include "config/config_record_codec.hpp"
#include "sim/unit_model.hpp"

#include <gtest/gtest.h>

using namespace torl7;
using namespace torl7::sim;

namespace {

class SimConfigTest : public ::testing::Test {
protected:
    std::optional<Frame> ask(std::uint8_t command, const Bytes& payload) {
        const auto answers = model.handle(*parseFrame(buildFrame(600, command, payload)));
        if (answers.size() != 1) {
            return std::nullopt;
        }
        return parseFrame(answers.front());
    }
    ConfigRecord readRecord() {
        const auto answer = ask(2, {});
        EXPECT_TRUE(answer);
        EXPECT_EQ(answer->length(), kConfigRecordSize);
        return decodeConfigRecord(answer->payload());
    }

    FixedClock clock{WallTime{}};
    UnitModel model{UnitOptions{}, clock};
};

} // namespace

TEST_F(SimConfigTest, storesWhatIsWrittenAndRefusesImpossibleValues) {
    EXPECT_EQ(readRecord(), ConfigRecord{}) << "delivered with the tool's start values";

    ConfigRecord wanted;
    wanted.rs485SpeedIndex = 8;
    wanted.uminVolts = 180;
    wanted.idifDelayTenths = 3;
    wanted.coefficients[2] = 571;
    wanted.equipmentType = unitText16("Насос 3");
    wanted.busAddress = 17;
    const auto ack = ask(3, configWritePayload(wanted));
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->reader().byte(0), kWriteSubModeConfig);
    EXPECT_EQ(readRecord(), wanted);
    EXPECT_EQ(model.state().rs485SpeedIndex, 8);

    ConfigRecord refused = wanted;
    refused.uminVolts = 300; // not below Umax
    refused.umaxVolts = 260;
    refused.rs485SpeedIndex = 11;
    refused.coefficients[0] = 0;
    refused.teMs = 9;
    ASSERT_TRUE(ask(3, configWritePayload(refused)));
    ConfigRecord kept = refused;
    kept.uminVolts = wanted.uminVolts;
    kept.umaxVolts = wanted.umaxVolts;
    kept.rs485SpeedIndex = wanted.rs485SpeedIndex;
    kept.coefficients[0] = wanted.coefficients[0];
    EXPECT_EQ(readRecord(), kept);
}

TEST_F(SimConfigTest, calibrationSamplesGiveTheTrueCoefficientsForTheAppliedInputs) {
    model.state().referenceInputs = {220, 100, 0, 5, 2.5, 0, 0.5};
    const auto answer = ask(1, Bytes{kCalibrationSelector});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->reader().byte(0), kCalibrationSelector);
    const CalibrationSample sample = decodeCalibrationSample(answer->payload());
    const std::array<double, kCoefficientCount> applied = model.state().referenceInputs;
    for (std::size_t i = 0; i < kCoefficientCount; ++i) {
        if (applied[i] == 0) {
            EXPECT_EQ(sample.readings[i], 0u) << i;
            continue;
        }
        const auto coefficient =
            computeCoefficient(static_cast<Channel>(i),
                               static_cast<CalibrationSum>(10 * sample.readings[i]), applied[i]);
        EXPECT_EQ(coefficient, kTrueCoefficients[i]) << i;
    }
    EXPECT_FALSE(ask(1, Bytes{0})) << "the snapshot is not this handler's";
}

TEST_F(SimConfigTest, coefficientWriteStoresAcknowledgesAndBlocksTheProtection) {
    const auto payload = coefficientWritePayload({566, 0, 570, 204, 198, 201, 4960});
    ASSERT_TRUE(payload);
    const auto answer = ask(3, *payload);
    ASSERT_TRUE(answer);
    const CoefficientAck ack = decodeCoefficientAck(answer->payload());
    EXPECT_EQ(answer->reader().byte(0), kWriteSubModeCoefficients);
    EXPECT_EQ(ack.coefficients,
              (std::array<std::uint16_t, kCoefficientCount>{566, 570, 570, 204, 198, 201, 4960}))
        << "a coefficient of 0 is refused";
    EXPECT_TRUE(ack.protectionBlocked);
    const ConfigRecord stored = readRecord();
    EXPECT_EQ(stored.coefficients, ack.coefficients);
    EXPECT_TRUE(stored.controlByte & 0x80);
    EXPECT_FALSE(ask(3, Bytes{2})) << "no other sub-mode";
}
