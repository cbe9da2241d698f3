// The settings buttons of the "Конфигурация" page: page -> file -> page keeps every record
// byte, nothing is sent, a bad file leaves the page alone, another unit's file asks first, the
// window writes the same file as torl7-cli, and the page is compared with the unit.
#include "commands.hpp"
#include "documents/settings_file.hpp"
#include "documents/settings_values.hpp"
#include "gui/controllers/configuration.hpp"
#include "gui/controllers/report_writer.hpp"
#include "gui/controllers/settings_transfer.hpp"
#include "sim/simulated_unit.hpp"
#include "support/window_fixture.hpp"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <sstream>

using namespace torl7;
using namespace torl7::test;

namespace {

ConfigRecord unusualRecord() {
    ConfigRecord r;
    r.rs485SpeedIndex = 10;
    r.uminVolts = 6000;
    r.uminDelayTenths = 255;
    r.umaxVolts = 100;
    r.umaxDelayTenths = 2;
    r.uAsymPercent = 99;
    r.iAsymDelayTenths = 21;
    r.iholTenths = 9999;
    r.iholDelayTenthsOfSecond = 9990;
    r.inomTenths = 1234;
    r.vtzTenthsOfSecond = 10;
    r.izklTenths = 7;
    r.controlByte = composeControlByte(1, false, 2, 3, true);
    r.enableByte = 0x0B;
    r.cosCorrectionByte = encodeCosCorrection(-75);
    r.coefficients = {1, 2, 65535, 300, 400, 500, 6000};
    r.equipmentType = unitText16("Насос №3");
    r.installation = unitText16("ТП-12");
    r.busProtocolIndex = 1;
    r.busAddress = 247;
    r.tbMs = 200;
    r.teMs = 2;
    r.resetLockSeconds = 999;
    return r;
}

class SettingsButtons : public WindowFixture {
protected:
    SettingsButtons() {
        transfer = w().findChild<SettingsTransfer*>();
        transfer->askSaveName = [this](const QString& name) {
            offeredName = name;
            return dir.filePath("saved.json");
        };
        transfer->askOpenName = [this] { return openPath; };
    }
    std::optional<ConfigRecord> pageRecord() { return recordFromPage(config(), boxes); }

    SettingsTransfer* transfer = nullptr;
    QTemporaryDir dir;
    QString offeredName;
    QString openPath;
};

std::string slurp(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll().toStdString();
}

} // namespace

TEST_F(SettingsButtons, pageToFileToPageKeepsEveryRecordByteAndSendsNothing) {
    applyRecordToPage(unusualRecord(), config());
    const auto before = pageRecord();
    ASSERT_TRUE(before);
    transfer->btn_save_settingsClick();
    EXPECT_EQ(offeredName, QStringLiteral("ТОРЛ_№600_настройки.json"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Настройки сохранены !"));

    applyRecordToPage(ConfigRecord{}, config());
    ASSERT_NE(encodeConfigRecord(*pageRecord()), encodeConfigRecord(*before));
    openPath = dir.filePath("saved.json");
    transfer->btn_load_settingsClick();
    const auto after = pageRecord();
    ASSERT_TRUE(after);
    EXPECT_EQ(encodeConfigRecord(*after), encodeConfigRecord(*before));
    EXPECT_TRUE(line.writes.empty()) << "saving and loading never talk to the unit";
}

TEST_F(SettingsButtons, aFileWithABadFieldIsRefusedByNameAndThePageKeepsItsValues) {
    applyRecordToPage(unusualRecord(), config());
    std::string text = writeSettingsFile(ConfigRecord{}, {});
    text.replace(text.find("\"threshold_percent\": 30"), 23, "\"threshold_percent\": 0");
    {
        QFile f(dir.filePath("bad.json"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), static_cast<qint64>(text.size()));
    }
    openPath = dir.filePath("bad.json");
    transfer->btn_load_settingsClick();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, RecordingMessageBoxes::Kind::Error);
    EXPECT_TRUE(boxes.shown[0].text.contains("u_asymmetry.threshold_percent"))
        << boxes.shown[0].text.toStdString();
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Файл настроек не загружен. Значение Uасм, % "
                             "(u_asymmetry.threshold_percent): 0 вне пределов 1..99"));
    EXPECT_EQ(*pageRecord(), unusualRecord());

    boxes.clear();
    openPath = dir.filePath("missing.json");
    transfer->btn_load_settingsClick();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Файл настроек не открыт: %1 не найден").arg(openPath));
    EXPECT_EQ(*pageRecord(), unusualRecord());
}

TEST_F(SettingsButtons, anotherUnitsFileAsksBeforeItTakesTheCalibrationAndBusSettings) {
    const ConfigRecord thisUnit;
    const struct {
        const char* name;
        std::optional<int> madeFor;
        std::optional<MessageBoxes::Answer> answer; // nothing: no question
        ConfigRecord loaded;
    } cases[] = {
        {"same unit", 600, std::nullopt, unusualRecord()},
        {"unit not noted", std::nullopt, std::nullopt, unusualRecord()},
        {"another unit, No", 777, MessageBoxes::Answer::No,
         withUnitSpecificOf(unusualRecord(), thisUnit)},
        {"another unit, Yes", 777, MessageBoxes::Answer::Yes, unusualRecord()},
    };
    for (const auto& c : cases) {
        applyRecordToPage(thisUnit, config());
        boxes.clear();
        if (c.answer) {
            boxes.answers = {*c.answer};
        }
        SettingsProvenance origin;
        origin.unit = c.madeFor;
        const std::string text = writeSettingsFile(unusualRecord(), origin);
        QFile f(dir.filePath("unit.json"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), static_cast<qint64>(text.size()));
        f.close();
        openPath = f.fileName();
        transfer->btn_load_settingsClick();
        EXPECT_EQ(boxes.shown.size(), c.answer ? 1u : 0u) << c.name;
        if (c.answer) {
            EXPECT_EQ(boxes.shown[0].kind, RecordingMessageBoxes::Kind::Question);
            EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral(
                "Файл настроек сделан для устройства №777, выбрано устройство №600")))
                << boxes.shown[0].text.toStdString();
        }
        EXPECT_EQ(*pageRecord(), c.loaded) << c.name;
    }
}

TEST_F(SettingsButtons, compareListsWhatDiffersFromTheUnitAndLeavesThePageAlone) {
    const struct {
        int umin;
        QString text;
    } cases[] = {
        {170, QStringLiteral("Настройки на странице совпадают с настройками устройства.")},
        {300, QStringLiteral("Настройки на странице отличаются от настроек устройства:\n"
                             "Значение Umin, В: на странице 300, в устройстве 170")},
    };
    const auto encoded = encodeConfigRecord(ConfigRecord{});
    const Bytes unitRecord(encoded.begin(), encoded.end());
    for (const auto& c : cases) {
        boxes.clear();
        line.clearWritten();
        config().z_umin_v->setValue(c.umin);
        config().btn_compare_konf->click();
        ASSERT_EQ(sentFrames(), std::vector<Bytes>{buildFrame(600, kind::ConfigRead, {})});
        answer(kind::ConfigRead, unitRecord);
        EXPECT_EQ(config().z_umin_v->value(), c.umin) << "the page is left as it was";
        EXPECT_FALSE(line.isOpen());
        EXPECT_EQ(boxes.texts(), QStringList{c.text});
        EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Сравнение с устройством"));
    }
}

TEST_F(SettingsButtons, theWindowWritesTheSameFileAsTheHeadlessClient) {
    sim::SimulatedUnit unit;
    const QString port = QString::fromStdString(unit.start({}));
    std::ostringstream out;
    std::ostringstream err;
    const QString cliPath = dir.filePath("cli.json");
    ASSERT_EQ(runCli({"torl7-cli", "--port", port, "read-config", "-o", cliPath}, out, err),
              exitcode::Done)
        << err.str();
    unit.stop();
    const std::string cliText = slurp(cliPath);
    const auto cliFile = readSettingsFile(cliText);
    ASSERT_TRUE(cliFile.file) << cliFile.error;

    // The window after reading the same unit: its record, its version text, the same moment.
    applyRecordToPage(cliFile.file->record, config());
    config().st_vpmk->setText(QString::fromStdString(cliFile.file->provenance.firmware) +
                              QStringLiteral("    "));
    const QDateTime readAt =
        QDateTime::fromString(QString::fromStdString(cliFile.file->provenance.readAt), Qt::ISODate);
    transfer->now = [readAt] { return readAt; };
    EXPECT_EQ(transfer->settingsText(), cliText);
}

TEST_F(SettingsButtons, theReportsSettingsTextsOfARecordAreThoseTheWindowShowsAfterReadingIt) {
    ConfigRecord fromUnit = unusualRecord();
    fromUnit.uminVolts = 50;                // held to the spin edit's 100
    fromUnit.iholDelayTenthsOfSecond = 605; // shown in whole seconds
    fromUnit.idifTenths = 5;                // "0,5"
    ConfigRecord pastTheLists;
    pastTheLists.rs485SpeedIndex = 12; // shown as 9600 baud
    pastTheLists.busProtocolIndex = 7; // no item
    pastTheLists.inomTenths = 65535;   // six characters, shown whole
    for (const ConfigRecord& record : {ConfigRecord{}, unusualRecord(), fromUnit, pastTheLists}) {
        applyRecordToPage(record, config());
        EXPECT_EQ(w().findChild<ReportWriter*>()->collectReportData().settingsValues,
                  settingsValuesFor(record));
    }
}
