#include "protocol/codecs/clock_codec.hpp"
#include "protocol/codecs/snapshot_codec.hpp"

#include "diag/random_values.hpp"

#include <gtest/gtest.h>

using namespace torl7;

namespace {

// One snapshot with a distinct value in every field, so a field read at a wrong offset shows.
class SnapshotPayload : public ::testing::Test {
protected:
    const Bytes payload{
        0x00,                               // selector
        0x89, 0x05, 0x23,                   // 09 s with the clock stopped, 05 min, 23 h
        0x00,                               // not used
        0x05, 0x03, 0x16,                   // 05.03.16
        0x25,                               // calibration +5
        0x80,                               // automatic summer time
        0x00,                               // not used
        0x21, 0x05, 0x40,                   // trip, equipment and function flags
        0x00, 0xDC, 0x00, 0xDD, 0x00, 0xDE, // 220, 221, 222 V
        0x03, 0xE7, 0x03, 0xE8, 0x03, 0xED, // 99,9  100,0  100,5 A
        0x03, 0xE8,                         // leakage 100,0 A
        0xD5,                               // cos f +0,85
        0x03, 0x07,                         // asymmetries 3 % and 7 %
        0x0B,                               // overload multiple 1,1
        0x19, 0x0A, 0x01,                   // Umin 2,5 s, Umax 1,0 s, Uасм 0,1 s
        0x01, 0x2C,                         // no-load 30,0 s
        0x05,                               // Iасм 0,5 s
        0x03, 0xED,                         // overload 100,5 s
        0x0F, 0x64,                         // jam 1,5 s, leakage 10,0 s
        0x00, 0x7B,                         // power 12,3 kW
        0x00, 0x00, 0x0F, 0x42, 0x40,       // 1000000 millionths of a kWh
        0x00, 0x00, 0x0E, 0x8D,             // 3725 s running
        0x00, 0x3C,                         // reset locked for 60 s
    };
};

} // namespace

TEST_F(SnapshotPayload, everyFieldIsReadAtItsOffset) {
    ASSERT_EQ(payload.size(), kSnapshotSize);
    const Snapshot s = decodeSnapshot(payload);
    EXPECT_EQ(s.clock, (ClockStamp{9, 5, 23, 5, 3, 16}));
    EXPECT_TRUE(s.clockStopped);
    EXPECT_EQ(s.clockCalibration, 5);
    EXPECT_TRUE(s.autoDst);
    EXPECT_EQ(s.tripFlags, 0x21);
    EXPECT_EQ(s.equipmentFlags, 0x05);
    EXPECT_EQ(s.functionFlags, 0x40);
    EXPECT_EQ(s.uaVolts, 220);
    EXPECT_EQ(s.ubVolts, 221);
    EXPECT_EQ(s.ucVolts, 222);
    EXPECT_EQ(s.iaTenthsAmp, 999);
    EXPECT_EQ(s.ibTenthsAmp, 1000);
    EXPECT_EQ(s.icTenthsAmp, 1005);
    EXPECT_EQ(s.idifTenthsAmp, 1000);
    EXPECT_EQ(s.cosByte, 0xD5);
    EXPECT_EQ(s.voltageAsymmetryPercent, 3);
    EXPECT_EQ(s.currentAsymmetryPercent, 7);
    EXPECT_EQ(s.overloadTenths, 11);
    EXPECT_EQ(s.uminDelayTenthsSec, 25);
    EXPECT_EQ(s.umaxDelayTenthsSec, 10);
    EXPECT_EQ(s.uasmDelayTenthsSec, 1);
    EXPECT_EQ(s.iholDelayTenthsSec, 300);
    EXPECT_EQ(s.iasmDelayTenthsSec, 5);
    EXPECT_EQ(s.ivtzDelayTenthsSec, 1005);
    EXPECT_EQ(s.izaklDelayTenthsSec, 15);
    EXPECT_EQ(s.idifDelayTenthsSec, 100);
    EXPECT_EQ(s.powerTenthsKw, 123);
    EXPECT_EQ(s.energyMillionthsKwh, 1000000u);
    EXPECT_EQ(s.runningSeconds, 3725u);
    EXPECT_EQ(s.resetLockSeconds, 60);

    EXPECT_EQ(encodeSnapshot(s), payload);
}

TEST_F(SnapshotPayload, textsFollowTheFormatOfEachField) {
    const SnapshotTexts t = formatSnapshot(decodeSnapshot(payload));
    EXPECT_EQ(t.time, "23:05:09");
    EXPECT_EQ(t.date, "05.03.2016г.");
    EXPECT_EQ(t.ua, "220");
    EXPECT_EQ(t.ub, "221");
    EXPECT_EQ(t.uc, "222");
    EXPECT_EQ(t.ia, "99,9");
    EXPECT_EQ(t.ib, "100");
    EXPECT_EQ(t.ic, "101");
    EXPECT_EQ(t.leakageCurrent, "100,0") << "the leakage current keeps its decimal";
    EXPECT_EQ(t.cosPhi, "0,85");
    EXPECT_EQ(t.voltageAsymmetry, "3");
    EXPECT_EQ(t.currentAsymmetry, "7");
    EXPECT_EQ(t.overloadMultiple, "1,1");
    EXPECT_EQ(t.uminDelayLeft, "2,5");
    EXPECT_EQ(t.umaxDelayLeft, "1,0");
    EXPECT_EQ(t.voltageAsymmetryDelayLeft, "0,1");
    EXPECT_EQ(t.idleCurrentDelayLeft, "30");
    EXPECT_EQ(t.currentAsymmetryDelayLeft, "0,5");
    EXPECT_EQ(t.overloadDelayLeft, "101");
    EXPECT_EQ(t.lockedRotorDelayLeft, "1,5");
    EXPECT_EQ(t.leakageDelayLeft, "10,0");
    EXPECT_EQ(t.power, "12,3");
    EXPECT_EQ(t.energy, "000001,000");
    EXPECT_EQ(t.runningTime, "00001:02:05");
    EXPECT_EQ(t.resetLockLeft, "60");
}

TEST_F(SnapshotPayload, aShortAnswerReadsZerosWhereItEnds) {
    const Bytes shortAnswer(payload.begin(), payload.begin() + 44);
    const Snapshot s = decodeSnapshot(shortAnswer);
    EXPECT_EQ(s.powerTenthsKw, 123);
    EXPECT_EQ(s.energyMillionthsKwh, 0u);
    EXPECT_EQ(s.runningSeconds, 0u);
    EXPECT_EQ(s.resetLockSeconds, 0);
    EXPECT_EQ(decodeSnapshot({}), Snapshot{});
}

TEST(SnapshotClock, calibrationSignIsBit5AndBitsAboveAreIgnored) {
    EXPECT_EQ(decodeClockCalibration(0x25), 5);
    EXPECT_EQ(decodeClockCalibration(0x05), -5);
    EXPECT_EQ(decodeClockCalibration(0x3F), 31);
    EXPECT_EQ(decodeClockCalibration(0x1F), -31);
    EXPECT_EQ(decodeClockCalibration(0xC5), -5);
    EXPECT_EQ(decodeClockCalibration(0x00), 0);
    EXPECT_EQ(encodeClockCalibration(5), 0x25);
    EXPECT_EQ(encodeClockCalibration(-5), 0x05);
    EXPECT_EQ(encodeClockCalibration(0), 0x20) << "zero is sent with the positive sign";
    EXPECT_EQ(encodeClockCalibration(-31), 0x1F);
    EXPECT_EQ(encodeClockCalibration(40), 0x3F);
    EXPECT_EQ(encodeClockCalibration(-40), 0x1F);
}

TEST(SnapshotClock, bytesOutsideBcdShowTheirNibblesAndTheStopFlagIsNotATensDigit) {
    Bytes payload(kSnapshotSize, 0);
    payload[1] = 0x4F; // 4 tens, 15 units
    payload[7] = 0xA5; // year 105
    const Snapshot s = decodeSnapshot(payload);
    EXPECT_FALSE(s.clockStopped);
    const SnapshotTexts t = formatSnapshot(s);
    EXPECT_EQ(t.time, "00:00:55");
    EXPECT_EQ(t.date, "00.00.20105г.");
    EXPECT_EQ(encodeSnapshot(s)[1], 0x55) << "re-encoded as the plain BCD of the same value";
}

TEST(SnapshotTexts, overloadUpToOneIsDashes) {
    Snapshot s;
    s.overloadTenths = 10;
    EXPECT_EQ(formatSnapshot(s).overloadMultiple, "---");
    s.overloadTenths = 0;
    EXPECT_EQ(formatSnapshot(s).overloadMultiple, "---");
    s.overloadTenths = 11;
    EXPECT_EQ(formatSnapshot(s).overloadMultiple, "1,1");
    s.overloadTenths = 255;
    EXPECT_EQ(formatSnapshot(s).overloadMultiple, "25,5");
}

TEST(Indicators, allClearIsSilverExceptSoundInsulationInGreen) {
    const IndicatorStates st = indicatorStates(Snapshot{});
    EXPECT_EQ(st.uminTripped, IndicatorColor::Silver);
    EXPECT_EQ(st.leakageTripped, IndicatorColor::Silver);
    EXPECT_EQ(st.uminActive, IndicatorColor::Silver);
    EXPECT_EQ(st.anyActive, IndicatorColor::Silver);
    EXPECT_EQ(st.equipment, IndicatorColor::Silver);
    EXPECT_EQ(st.insulation, IndicatorColor::Green);
}

TEST(Indicators, equipmentByteShowsOnlyBitsZeroAndTwo) {
    Snapshot s;
    s.equipmentFlags = 0x05; // equipment on, insulation fault
    IndicatorStates expected;
    expected.equipment = IndicatorColor::Red;
    expected.insulation = IndicatorColor::Red;
    EXPECT_TRUE(indicatorStates(s) == expected);
    s.equipmentFlags = 0xFA;
    EXPECT_TRUE(indicatorStates(s) == IndicatorStates{});
}

TEST(Indicators, everyBitMapsToTheIndicatorOfItsRow) {
    using Member = IndicatorColor IndicatorStates::*;
    const Member circles[8] = {&IndicatorStates::uminTripped,
                               &IndicatorStates::umaxTripped,
                               &IndicatorStates::voltageAsymmetryTripped,
                               &IndicatorStates::idleCurrentTripped,
                               &IndicatorStates::currentAsymmetryTripped,
                               &IndicatorStates::overloadTripped,
                               &IndicatorStates::lockedRotorTripped,
                               &IndicatorStates::leakageTripped};
    const Member squares[8] = {&IndicatorStates::uminActive,
                               &IndicatorStates::umaxActive,
                               &IndicatorStates::voltageAsymmetryActive,
                               &IndicatorStates::idleCurrentActive,
                               &IndicatorStates::currentAsymmetryActive,
                               &IndicatorStates::overloadActive,
                               &IndicatorStates::lockedRotorActive,
                               &IndicatorStates::leakageActive};
    for (int bit = 0; bit < 8; ++bit) {
        Snapshot s;
        s.tripFlags = static_cast<std::uint8_t>(1 << bit);
        s.functionFlags = static_cast<std::uint8_t>(1 << bit);
        IndicatorStates expected;
        expected.*circles[bit] = IndicatorColor::Red;
        expected.*squares[bit] = IndicatorColor::Red;
        expected.anyActive = IndicatorColor::Red;
        EXPECT_TRUE(indicatorStates(s) == expected) << "bit " << bit;
    }
}

TEST(SnapshotRoundTrip, anyValueTheFieldsCanCarrySurvivesEncodeAndDecode) {
    codec_testing::RandomValues rnd(0x5A5A0001);
    for (int i = 0; i < 2000; ++i) {
        Snapshot s;
        s.clock = rnd.stamp();
        s.clockStopped = rnd.coin();
        s.clockCalibration = rnd.between(-31, 31);
        s.autoDst = rnd.coin();
        s.tripFlags = rnd.any<std::uint8_t>();
        s.equipmentFlags = rnd.any<std::uint8_t>();
        s.functionFlags = rnd.any<std::uint8_t>();
        s.uaVolts = rnd.any<std::uint16_t>();
        s.ubVolts = rnd.any<std::uint16_t>();
        s.ucVolts = rnd.any<std::uint16_t>();
        s.iaTenthsAmp = rnd.any<std::uint16_t>();
        s.ibTenthsAmp = rnd.any<std::uint16_t>();
        s.icTenthsAmp = rnd.any<std::uint16_t>();
        s.idifTenthsAmp = rnd.any<std::uint16_t>();
        s.cosByte = rnd.any<std::uint8_t>();
        s.voltageAsymmetryPercent = rnd.any<std::uint8_t>();
        s.currentAsymmetryPercent = rnd.any<std::uint8_t>();
        s.overloadTenths = rnd.any<std::uint8_t>();
        s.uminDelayTenthsSec = rnd.any<std::uint8_t>();
        s.umaxDelayTenthsSec = rnd.any<std::uint8_t>();
        s.uasmDelayTenthsSec = rnd.any<std::uint8_t>();
        s.iholDelayTenthsSec = rnd.any<std::uint16_t>();
        s.iasmDelayTenthsSec = rnd.any<std::uint8_t>();
        s.ivtzDelayTenthsSec = rnd.any<std::uint16_t>();
        s.izaklDelayTenthsSec = rnd.any<std::uint8_t>();
        s.idifDelayTenthsSec = rnd.any<std::uint8_t>();
        s.powerTenthsKw = rnd.any<std::uint16_t>();
        s.energyMillionthsKwh = rnd.counter40();
        s.runningSeconds = rnd.any<std::uint32_t>();
        s.resetLockSeconds = rnd.any<std::uint16_t>();

        const Bytes bytes = encodeSnapshot(s);
        ASSERT_EQ(bytes.size(), kSnapshotSize);
        EXPECT_EQ(bytes[0], kSnapshotSelector);
        EXPECT_EQ(bytes[4], 0);
        EXPECT_EQ(bytes[10], 0);
        ASSERT_TRUE(decodeSnapshot(bytes) == s) << "seed iteration " << i;
    }
}
