#include "documents/settings_file.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace torl7;

namespace {

// Every field away from its start value; texts with Cyrillic letters.
ConfigRecord unusualRecord() {
    ConfigRecord r;
    r.rs485SpeedIndex = 10;
    r.uminVolts = 6000;
    r.uminDelayTenths = 255;
    r.umaxVolts = 100;
    r.umaxDelayTenths = 0;
    r.uAsymPercent = 99;
    r.uAsymDelayTenths = 1;
    r.iholTenths = 65535;
    r.iholDelayTenthsOfSecond = 9990;
    r.iAsymPercent = 1;
    r.iAsymDelayTenths = 2;
    r.inomTenths = 1234;
    r.vtzTenthsOfSecond = 10;
    r.izklTenths = 7;
    r.izklDelayTenths = 99;
    r.idifTenths = 0;
    r.idifDelayTenths = 254;
    r.controlByte = composeControlByte(1, false, 2, 3, true);
    r.enableByte = 0x0B;
    r.cosCorrectionByte = encodeCosCorrection(-75);
    r.coefficients = {0, 1, 65535, 300, 400, 500, 6000};
    r.equipmentType = unitText16("Насос №3");
    r.installation = unitText16("ТП-12 \"Север\"\\");
    r.busProtocolIndex = 1;
    r.busAddress = 247;
    r.tbMs = 200;
    r.teMs = 2;
    r.resetLockSeconds = 999;
    return r;
}

// Replaces the value of `key` in the object `group` of a file's text.
std::string withValue(std::string text, const std::string& group, const std::string& key,
                      const std::string& value) {
    const auto groupAt = text.find("\"" + group + "\": {");
    EXPECT_NE(groupAt, std::string::npos) << group;
    const auto keyAt = text.find("\"" + key + "\": ", groupAt);
    EXPECT_NE(keyAt, std::string::npos) << key;
    const auto valueAt = keyAt + key.size() + 4;
    const auto end = text.find_first_of(",\n", valueAt);
    return text.replace(valueAt, end - valueAt, value);
}

std::string defaultText() {
    return writeSettingsFile(ConfigRecord{}, {});
}

} // namespace

TEST(SettingsFile, roundTripKeepsEveryRecordByte) {
    for (const ConfigRecord& record : {ConfigRecord{}, unusualRecord()}) {
        const SettingsProvenance origin{600, "2026-12-08T21:05:00", "ТОРЛ-7 v1.02", "0.1.0"};
        const auto read = readSettingsFile(writeSettingsFile(record, origin));
        ASSERT_TRUE(read.file) << read.field << ": " << read.error;
        EXPECT_EQ(encodeConfigRecord(read.file->record), encodeConfigRecord(record));
        EXPECT_EQ(read.file->provenance, origin);
    }
}

TEST(SettingsFile, isReadableWithUnitsInTheKeysAndTrimmedTexts) {
    ConfigRecord record;
    record.equipmentType = unitText16("Насос");
    const std::string text = writeSettingsFile(record, {600, "", "", ""});
    EXPECT_NE(text.find("  \"umin\": {\n    \"enabled\": false,\n    \"threshold_v\": 170,\n"
                        "    \"delay_s\": 10.0\n  }"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"speed_baud\": 9600"), std::string::npos);
    EXPECT_NE(text.find("\"threshold_kohm\": 500"), std::string::npos);
    EXPECT_NE(text.find("\"voltage\": \"A/B/C\""), std::string::npos);
    EXPECT_NE(text.find("\"equipment_type\": \"Насос\""), std::string::npos);
    EXPECT_NE(text.find("\"provenance\": {\n    \"unit\": 600\n  }"), std::string::npos);
}

TEST(SettingsFile, indicesThatNameNoListItemAreKeptUnderTheirIndexKey) {
    ConfigRecord record;
    record.rs485SpeedIndex = 200;
    record.busProtocolIndex = 7;
    const std::string text = writeSettingsFile(record, {});
    EXPECT_NE(text.find("\"speed_index\": 200"), std::string::npos);
    EXPECT_NE(text.find("\"protocol_index\": 7"), std::string::npos);
    const auto read = readSettingsFile(text);
    ASSERT_TRUE(read.file) << read.error;
    EXPECT_EQ(read.file->record, record);

    const auto both =
        readSettingsFile(withValue(text, "rs485", "speed_index", "3,\n \"speed_baud\": 300"));
    EXPECT_EQ(both.field, "rs485.speed_baud");
}

TEST(SettingsFile, everyValueOutsideItsControlsLimitsIsRejectedWithItsName) {
    struct Case {
        std::string group, key, value;
    };
    const Case cases[] = {
        {"rs485", "speed_baud", "9601"},
        {"rs485", "protocol", "\"MODBUS\""},
        {"rs485", "address", "0"},
        {"rs485", "address", "248"},
        {"rs485", "tb_ms", "2"},
        {"rs485", "tb_ms", "201"},
        {"rs485", "te_ms", "1"},
        {"rs485", "te_ms", "100"},
        {"protection_block", "enabled", "1"},
        {"protection_block", "reset_lock_s", "0"},
        {"protection_block", "reset_lock_s", "1000"},
        {"umin", "enabled", "\"yes\""},
        {"umin", "threshold_v", "99"},
        {"umin", "threshold_v", "6001"},
        {"umin", "delay_s", "25.6"},
        {"umin", "delay_s", "-0.1"},
        {"umax", "threshold_v", "7001"},
        {"umax", "delay_s", "1.25"},
        {"u_asymmetry", "threshold_percent", "0"},
        {"u_asymmetry", "threshold_percent", "100"},
        {"u_asymmetry", "delay_s", "30"},
        {"idle_current", "threshold_a", "6553.6"},
        {"idle_current", "delay_s", "0"},
        {"idle_current", "delay_s", "60.5"},
        {"i_asymmetry", "threshold_percent", "100"},
        {"i_asymmetry", "delay_s", "\"5,0\""},
        {"overload", "nominal_current_a", "-1"},
        {"overload", "time_s", "1000"},
        {"locked_rotor", "current_a", "99999"},
        {"locked_rotor", "delay_s", "26"},
        {"leakage", "current_a", "0.05"},
        {"leakage", "delay_s", "null"},
        {"insulation", "enabled", "null"},
        {"insulation", "threshold_kohm", "200"},
        {"phase_monitoring", "voltage", "\"B/C\""},
        {"phase_monitoring", "current", "\"   A/B\""},
        {"calibration", "ua_coefficient", "65536"},
        {"calibration", "ub_coefficient", "-1"},
        {"calibration", "uc_coefficient", "570.5"},
        {"calibration", "ia_coefficient", "1e9"},
        {"calibration", "ib_coefficient", "\"200\""},
        {"calibration", "ic_coefficient", "70000"},
        {"calibration", "idif_coefficient", "65536"},
        {"calibration", "cos_f_correction", "76"},
        {"calibration", "cos_f_correction", "-76"},
        {"texts", "equipment_type", "\"seventeen letters\""},
        {"texts", "installation", "\"\xe2\x82\xac uro\""}, // the euro sign is in the code page
        {"texts", "installation", "\"\xe4\xb8\xad\""},     // a CJK character is not
        {"texts", "installation", "\"end\\u0000here\""},   // a NUL would end it early
        {"texts", "equipment_type", "\"two\\nlines\""},
        {"texts", "equipment_type", "\"bell\\u0007\""},
        {"texts", "equipment_type", "\"tab\\tkept\""}, // the one control character taken
    };
    for (const Case& c : cases) {
        const auto read = readSettingsFile(withValue(defaultText(), c.group, c.key, c.value));
        if (c.value == "\"\xe2\x82\xac uro\"" || c.value == "\"tab\\tkept\"") {
            EXPECT_TRUE(read.file) << c.value << ": " << read.error;
            continue;
        }
        EXPECT_FALSE(read.file) << c.group << "." << c.key << " = " << c.value;
        EXPECT_EQ(read.field, c.group + "." + c.key) << c.value << ": " << read.error;
        EXPECT_FALSE(read.error.empty());
    }
}

TEST(SettingsFile, valuesAtTheLimitsAreTaken) {
    std::string text = defaultText();
    text = withValue(text, "umin", "delay_s", "25.5");
    text = withValue(text, "umin", "threshold_v", "6000");
    text = withValue(text, "idle_current", "threshold_a", "6553.5");
    text = withValue(text, "calibration", "cos_f_correction", "-75");
    text = withValue(text, "texts", "installation", "\"ровно16символов!\"");
    const auto read = readSettingsFile(text);
    ASSERT_TRUE(read.file) << read.field << ": " << read.error;
    EXPECT_EQ(read.file->record.uminDelayTenths, 255);
    EXPECT_EQ(read.file->record.iholTenths, 65535);
    EXPECT_EQ(read.file->record.installation, unitText16("ровно16символов!"));
}

TEST(SettingsFile, aBrokenOrIncompleteDocumentNamesWhatIsWrong) {
    auto fieldOf = [](const std::string& text) { return readSettingsFile(text).field; };
    const std::string good = defaultText();

    const auto notJson = readSettingsFile("{\n  \"format\": \"torl7-settings\",\n  oops\n}");
    EXPECT_FALSE(notJson.file);
    EXPECT_EQ(notJson.field, "");
    EXPECT_NE(notJson.error.find("line 3"), std::string::npos) << notJson.error;

    EXPECT_EQ(fieldOf("[]"), "");
    std::string other = good;
    other.replace(other.find("torl7-settings"), 14, "something-else");
    EXPECT_EQ(fieldOf(other), "format");

    std::string missing = good;
    const auto leakage = missing.find(",\n  \"leakage\"");
    missing.erase(leakage, missing.find("}", leakage) + 1 - leakage);
    EXPECT_EQ(fieldOf(missing), "leakage");

    std::string noKey = good;
    noKey.replace(noKey.find("\"threshold_v\": 170,\n    "), 23, "");
    EXPECT_EQ(fieldOf(noKey), "umin.threshold_v");

    EXPECT_EQ(fieldOf(withValue(good, "umax", "threshold_v", "250,\n    \"treshold_v\": 250")),
              "umax.treshold_v");
    std::string extraGroup = good;
    extraGroup.insert(extraGroup.rfind('}'), ",\"comment\": 1");
    EXPECT_EQ(fieldOf(extraGroup), "comment");
    const auto twice =
        readSettingsFile(withValue(good, "umin", "delay_s", "10.0, \"delay_s\": 11.0"));
    EXPECT_EQ(twice.field, "");
    EXPECT_NE(twice.error.find("\"delay_s\" given twice at line 19"), std::string::npos)
        << twice.error;
    EXPECT_TRUE(readSettingsFile("\xEF\xBB\xBF" + good).file) << "a byte order mark is passed over";
    EXPECT_EQ(fieldOf(withValue(good, "umin", "threshold_v", "0170")), "") << "no leading zeros";
    EXPECT_EQ(fieldOf(withValue(good, "umin", "delay_s", "\"\\ud800\"")), "");
}

TEST(SettingsFile, compareNamesEachDifferingFieldWithBothValues) {
    ConfigRecord expected;
    ConfigRecord actual;
    EXPECT_TRUE(compareSettings(expected, actual).empty());
    actual.uminVolts = 180;
    actual.enableByte = static_cast<std::uint8_t>(actual.enableByte | 1);
    actual.controlByte = composeControlByte(3, true, 1, 0, false);
    actual.coefficients[6] = 4999;
    const std::vector<FieldDifference> want = {
        {"umin.enabled", "false", "true"},
        {"umin.threshold_v", "170", "180"},
        {"phase_monitoring.voltage", "\"A/B/C\"", "\"A/B\""},
        {"calibration.idif_coefficient", "5000", "4999"},
    };
    EXPECT_EQ(compareSettings(expected, actual), want);
}

TEST(SettingsFile, theRecordAsThePageHoldsItClampsSpinValuesOnly) {
    ConfigRecord fromUnit;
    fromUnit.uminVolts = 50;
    fromUnit.iholDelayTenthsOfSecond = 605;
    fromUnit.vtzTenthsOfSecond = 0;
    fromUnit.tbMs = 0;
    fromUnit.cosCorrectionByte = 0xFF; // +127
    fromUnit.rs485SpeedIndex = 200;
    fromUnit.iholTenths = 65535;
    const ConfigRecord page = asPageHolds(fromUnit);
    EXPECT_EQ(page.uminVolts, 100);
    EXPECT_EQ(page.iholDelayTenthsOfSecond, 600);
    EXPECT_EQ(page.vtzTenthsOfSecond, 10);
    EXPECT_EQ(page.tbMs, 3);
    EXPECT_EQ(decodeCosCorrection(page.cosCorrectionByte), 75);
    EXPECT_EQ(page.rs485SpeedIndex, 200);
    EXPECT_EQ(page.iholTenths, 65535);
    EXPECT_EQ(asPageHolds(ConfigRecord{}), ConfigRecord{});

    // The same fields are the ones named as held to a limit, and only they.
    std::vector<std::string> held;
    for (const ClampedField& c : clampedFields(fromUnit)) {
        held.push_back(c.field->path() + " " + std::to_string(c.unitSteps) + "->" +
                       std::to_string(c.heldSteps));
    }
    const std::vector<std::string> want = {"rs485.tb_ms 0->3", "umin.threshold_v 50->100",
                                           "overload.time_s 0->1",
                                           "calibration.cos_f_correction 127->75"};
    EXPECT_EQ(held, want);
    EXPECT_TRUE(clampedFields(ConfigRecord{}).empty());
}

TEST(SettingsFile, anotherUnitsFileKeepsThisUnitsCalibrationAndBusSettings) {
    const ConfigRecord thisUnit;
    const ConfigRecord merged = withUnitSpecificOf(unusualRecord(), thisUnit);
    EXPECT_EQ(merged.coefficients, thisUnit.coefficients);
    EXPECT_EQ(merged.cosCorrectionByte, thisUnit.cosCorrectionByte);
    EXPECT_EQ(merged.busAddress, thisUnit.busAddress);
    EXPECT_EQ(merged.rs485SpeedIndex, thisUnit.rs485SpeedIndex);
    ConfigRecord rest = unusualRecord();
    rest.coefficients = thisUnit.coefficients;
    rest.cosCorrectionByte = thisUnit.cosCorrectionByte;
    rest.busAddress = thisUnit.busAddress;
    rest.rs485SpeedIndex = thisUnit.rs485SpeedIndex;
    EXPECT_EQ(merged, rest) << "everything else comes from the file";
}

TEST(SettingsFile, faultsAndValuesReadInRussianForTheWindow) {
    const std::string good = defaultText();
    const struct {
        std::string text;
        std::string russian;
    } faults[] = {
        {withValue(good, "umin", "threshold_v", "50"), "50 вне пределов 100..6000"},
        {withValue(good, "umin", "delay_s", "30.5"), "30,5 вне пределов 0,0..25,5"},
        {withValue(good, "umin", "delay_s", "1.25"), "1,25: больше одного знака после запятой"},
        {withValue(good, "umin", "enabled", "1"), "должно быть true или false"},
        {withValue(good, "insulation", "threshold_kohm", "42"),
         "42 не из списка 50, 100, 250, 500"},
        {withValue(good, "umin", "delay_s", "10.0, \"delay_s\": 11.0"),
         "это не документ JSON: поле \"delay_s\" указано дважды, строка 19, столбец 31"},
        {"{\n oops", "это не документ JSON: синтаксическая ошибка, строка 2, столбец 2"},
    };
    for (const auto& f : faults) {
        const SettingsReadResult read = readSettingsFile(f.text);
        EXPECT_FALSE(read.file);
        EXPECT_EQ(read.errorRussian, f.russian) << read.error;
    }
    const struct {
        std::string_view file;
        std::string shown;
    } values[] = {
        {"true", "да"}, {"false", "нет"}, {"\"A/B\"", "A/B"}, {"22.5", "22,5"}, {"-5", "-5"}};
    for (const auto& v : values) {
        EXPECT_EQ(russianValueText(v.file), v.shown);
    }
}
