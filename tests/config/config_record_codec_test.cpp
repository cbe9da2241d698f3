#include "protocol/codecs/config_record_codec.hpp"

#include <gtest/gtest.h>

#include <random>

using namespace torl7;

namespace {

// The record of a tool that has just started: RS485 9600, Umin 170 V / 10,0 s, Umax 250 V /
// 10,0 s, U asymmetry 30 % / 15,0 s, idle current 0 A / 60 s, I asymmetry 25 % / 5,0 s,
// Inom 15 A, overload 300 s, locked rotor 45 A / 3,0 s, leakage 1 A / 0,5 s, insulation
// 500 kOhm on, phases A/B/C, no block, enables F4, cos f 0, coefficients 570 x 3, 200 x 3,
// 5000, blank texts, protocol 0, address 1, Tb 5, Te 3, reset block 1 s.
Bytes startRecordBytes() {
    Bytes bytes{0x05, 0x00, 0xAA, 0x64, 0x00, 0xFA, 0x64, 0x1E, 0x96, 0x00, 0x00, 0x02, 0x58, 0x19,
                0x32, 0x00, 0x96, 0x0B, 0xB8, 0x01, 0xC2, 0x1E, 0x00, 0x0A, 0x05, 0x7F, 0xF4, 0x80,
                0x02, 0x3A, 0x02, 0x3A, 0x02, 0x3A, 0x00, 0xC8, 0x00, 0xC8, 0x00, 0xC8, 0x13, 0x88};
    bytes.insert(bytes.end(), 32, 0x20);
    bytes.insert(bytes.end(), {0x00, 0x01, 0x05, 0x03, 0x00, 0x01});
    return bytes;
}

Bytes toBytes(const std::array<std::uint8_t, kConfigRecordSize>& record) {
    return Bytes(record.begin(), record.end());
}

} // namespace

TEST(ConfigRecord, startValuesEncodeToTheKnownRecordAndDecodeBack) {
    const Bytes expected = startRecordBytes();
    ASSERT_EQ(expected.size(), kConfigRecordSize);
    EXPECT_EQ(toBytes(encodeConfigRecord(ConfigRecord{})), expected);
    EXPECT_EQ(decodeConfigRecord(expected), ConfigRecord{});

    const Bytes payload = configWritePayload(ConfigRecord{});
    ASSERT_EQ(payload.size(), 81u);
    EXPECT_EQ(payload[0], 0) << "sub-mode 0 selects the configuration";
    EXPECT_EQ(Bytes(payload.begin() + 1, payload.end()), expected);
}

TEST(ConfigRecord, eachFieldLandsAtItsOwnOffset) {
    ConfigRecord r;
    r.iholTenths = 0x0102;
    r.iholDelayTenthsOfSecond = 605;
    r.idifTenths = 0xA1B2;
    r.coefficients = {1, 2, 3, 4, 5, 6, 0xFFFF};
    r.installation = unitText16("xyz");
    r.busProtocolIndex = 2;
    r.resetLockSeconds = 999;
    const auto bytes = encodeConfigRecord(r);
    EXPECT_EQ(bytes[9], 0x01);
    EXPECT_EQ(bytes[10], 0x02);
    EXPECT_EQ(bytes[11] << 8 | bytes[12], 605);
    EXPECT_EQ(bytes[22], 0xA1);
    EXPECT_EQ(bytes[23], 0xB2);
    EXPECT_EQ(bytes[29], 1);
    EXPECT_EQ(bytes[39], 6);
    EXPECT_EQ(bytes[40], 0xFF);
    EXPECT_EQ(bytes[41], 0xFF);
    EXPECT_EQ(bytes[57], ' ') << "equipment type still blank";
    EXPECT_EQ(bytes[58], 'x');
    EXPECT_EQ(bytes[60], 'z');
    EXPECT_EQ(bytes[61], ' ');
    EXPECT_EQ(bytes[74], 2) << "a protocol index that names no item is carried unchanged";
    EXPECT_EQ(bytes[78] << 8 | bytes[79], 999);
}

TEST(ConfigRecord, shortAnswerReadsZerosWhereItEnded) {
    const Bytes full = startRecordBytes();
    const Bytes head(full.begin(), full.begin() + 10);
    const ConfigRecord r = decodeConfigRecord(head);
    EXPECT_EQ(r.rs485SpeedIndex, 5);
    EXPECT_EQ(r.uAsymDelayTenths, 150);
    EXPECT_EQ(r.iholTenths, 0x0000) << "byte 9 present, byte 10 zero-filled";
    EXPECT_EQ(r.iholDelayTenthsOfSecond, 0);
    EXPECT_EQ(r.coefficients[6], 0);
    EXPECT_EQ(r.equipmentType, UnitText{});
    EXPECT_EQ(r.resetLockSeconds, 0);

    EXPECT_EQ(toBytes(encodeConfigRecord(decodeConfigRecord({}))), Bytes(kConfigRecordSize, 0));
    // A longer answer: only its first 80 bytes are the record.
    Bytes longer = full;
    longer.insert(longer.end(), {0xEE, 0xEE});
    EXPECT_EQ(decodeConfigRecord(longer), ConfigRecord{});
}

TEST(ConfigRecord, seededRandomRecordsAndRandomBytesRoundTrip) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> byteDist(0, 255);
    for (int round = 0; round < 500; ++round) {
        Bytes bytes(kConfigRecordSize);
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(byteDist(random));
        }
        const ConfigRecord decoded = decodeConfigRecord(bytes);
        ASSERT_EQ(toBytes(encodeConfigRecord(decoded)), bytes) << "round " << round;
    }
}

TEST(ControlByte, composesFromTheListItemsAndDecomposesBack) {
    EXPECT_EQ(composeControlByte(3, true, 0, 0, true), 255);
    EXPECT_EQ(composeControlByte(0, false, 3, 3, false), 0);
    EXPECT_EQ(composeControlByte(3, true, 0, 0, false), 0x7F) << "start values";
    EXPECT_EQ(composeControlByte(0, false, 1, 2, false), 0x08 | 0x40);

    // 0x28: both phase fields 1, which is the item "   A/B", not the item at index 1 by value.
    const ControlFields fields = decomposeControlByte(0x28);
    EXPECT_EQ(fields, (ControlFields{0, false, 1, 1, false}));
    EXPECT_EQ(decomposeControlByte(255), (ControlFields{3, true, 0, 0, true}));
    EXPECT_EQ(decomposeControlByte(0), (ControlFields{0, false, 3, 3, false}));

    for (int byte = 0; byte < 256; ++byte) {
        const ControlFields f = decomposeControlByte(static_cast<std::uint8_t>(byte));
        ASSERT_EQ(composeControlByte(f.isoIndex, f.isoOn, f.voltageItem, f.currentItem, f.blockOn),
                  byte);
    }
}

TEST(ControlByte, missingSelectionsCountAsFirstInsulationItemAndPhaseA) {
    EXPECT_EQ(phaseSetValue(-1), 0);
    EXPECT_EQ(phaseSetValue(4), 0);
    EXPECT_EQ(composeControlByte(-1, true, -1, -1, false), 0x04)
        << "an unselected insulation list must not spill into the other fields";
    EXPECT_EQ(composeControlByte(7, false, 0, 0, false), 0x78);

    const int values[] = {3, 1, 2, 0};
    for (int item = 0; item < 4; ++item) {
        EXPECT_EQ(phaseSetValue(item), values[item]);
        EXPECT_EQ(phaseSetItem(values[item]), item);
    }
    EXPECT_EQ(phaseSetItem(0x1D), 1) << "only the low two bits are the field";
}

TEST(CosCorrection, signBitIsSetForZeroAndPositiveValues) {
    EXPECT_EQ(encodeCosCorrection(-1), 0x01);
    EXPECT_EQ(decodeCosCorrection(0x01), -1);
    EXPECT_EQ(encodeCosCorrection(0), 0x80);
    EXPECT_EQ(decodeCosCorrection(0x80), 0);
    EXPECT_EQ(decodeCosCorrection(0x00), 0);
    EXPECT_EQ(encodeCosCorrection(5), 0x85);
    EXPECT_EQ(encodeCosCorrection(75), 0xCB);
    EXPECT_EQ(encodeCosCorrection(-5), 0x05);
    EXPECT_EQ(encodeCosCorrection(-75), 0x4B);
    EXPECT_EQ(decodeCosCorrection(0xFF), 127);
    EXPECT_EQ(decodeCosCorrection(0x7F), -127);

    for (int v = -127; v <= 127; ++v) {
        ASSERT_EQ(decodeCosCorrection(encodeCosCorrection(v)), v) << v;
    }
    // Past seven bits of magnitude the value would change sign; it is held at the limit.
    EXPECT_EQ(encodeCosCorrection(200), 0xFF);
    EXPECT_EQ(encodeCosCorrection(-128), 0x7F);
}

TEST(UnitText, isPaddedWithBlanksCutAt16AndReadBackUntrimmed) {
    const UnitText abc = unitText16("abc");
    EXPECT_EQ(abc[0], 'a');
    EXPECT_EQ(abc[2], 'c');
    for (std::size_t i = 3; i < 16; ++i) {
        EXPECT_EQ(abc[i], ' ') << i;
    }
    EXPECT_EQ(unitTextFrom16(abc), "abc             ");
    EXPECT_EQ(unitTextFrom16(abc).size(), 16u);

    EXPECT_EQ(unitText16(""), kBlankUnitText);
    EXPECT_EQ(unitTextFrom16(unitText16("0123456789ABCDEFGHIJ")), "0123456789ABCDEF");

    // Cyrillic travels as one Windows-1251 byte a letter and counts one position.
    const UnitText pump = unitText16("Насос №1");
    EXPECT_EQ(pump[0], 0xCD);
    EXPECT_EQ(pump[1], 0xE0);
    EXPECT_EQ(pump[6], 0xB9);
    EXPECT_EQ(pump[8], ' ');
    EXPECT_EQ(unitTextFrom16(pump), "Насос №1        ");
    EXPECT_EQ(unitTextFrom16(unitText16("ЭлектродвигательНасоса")), "Электродвигатель");

    // Whatever the unit holds is shown, zeros and control bytes included.
    UnitText odd = kBlankUnitText;
    odd[0] = 0x00;
    odd[1] = 0x07;
    const std::string shown = unitTextFrom16(odd);
    EXPECT_EQ(shown.size(), 16u);
    EXPECT_EQ(shown[0], '\0');
    EXPECT_EQ(shown[1], '\x07');
}
