#include "documents/recycled_memory.hpp"
#include "documents/report_content.hpp"
#include "documents/settings_values.hpp"

#include "report/docx_reader.hpp"
#include "report/sample_report.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace torl7 {
namespace {

using testing::makeSampleReport;
using testing::readDocument;
using testing::tables;
using testing::tableTexts;
using Rows = std::vector<std::vector<std::string>>;

// Fills the shipped template and reads the result back as an outside reader would.
class ReportFillTest : public ::testing::Test {
protected:
    void fill(const ReportData& data) {
        DocxDocument document;
        ASSERT_TRUE(document.openFile(TORL7_REPORT_TEMPLATE)) << document.error();
        std::string error;
        ASSERT_TRUE(fillReport(
            document, data, [&](int p) { progress.push_back(p); }, error))
            << error;
        xml = readDocument(document.bytes());
        std::size_t roots = 0;
        for (pugi::xml_node n : xml->children()) {
            roots += n.type() == pugi::node_element ? 1 : 0;
        }
        EXPECT_EQ(roots, 1u) << "the engine's working nodes stay out of the saved part";
        const auto found = tables(*xml);
        ASSERT_EQ(found.size(), 3u);
        events = tableTexts(found[0]);
        settings = tableTexts(found[1]);
        accounting = tableTexts(found[2]);
    }

    std::string heading() const {
        // The paragraph that holds the "num" bookmark.
        const pugi::xml_node start = xml->find_node([](pugi::xml_node n) {
            return std::string_view(n.name()) == "w:bookmarkStart" &&
                   std::string_view(n.attribute("w:name").value()) == "num";
        });
        return testing::textOf(start.parent());
    }

    std::unique_ptr<pugi::xml_document> xml;
    Rows events, settings, accounting;
    std::vector<int> progress;
};

TEST_F(ReportFillTest, factoryNumberStandsAtItsBookmarkWithTwoBlanksEachSide) {
    ReportData data = makeSampleReport(0);
    data.factoryNumber = "65535";
    fill(data);
    EXPECT_TRUE(heading().ends_with("№  65535  ")) << heading();
}

class ReportEventRowsTest : public ReportFillTest, public ::testing::WithParamInterface<int> {};

TEST_P(ReportEventRowsTest, everyEventIsOneRowOfTwelveCellsInGridOrder) {
    const int count = GetParam();
    const ReportData data = makeSampleReport(count);
    fill(data);

    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0].size(), kEventCells) << "header row";
    // The template's pattern row stays as the one empty row of an empty protocol.
    const std::size_t dataRows = events.size() - 1;
    EXPECT_EQ(dataRows, count == 0 ? 1u : static_cast<std::size_t>(count));
    for (std::size_t r = 1; r < events.size(); ++r) {
        ASSERT_EQ(events[r].size(), kEventCells) << "row " << r;
        for (std::size_t c = 0; c < kEventCells; ++c) {
            const bool stateCell = c == 1 || c == 2;
            std::string expected;
            if (count > 0) {
                const std::string& grid = data.events[r - 1][c];
                expected = stateCell ? (grid == "Вкл." ? testing::kTick : "") : grid;
            }
            EXPECT_EQ(events[r][c], expected) << "row " << r << " cell " << c + 1;
        }
    }
    // The settings and accounting tables are filled whatever the protocol holds.
    EXPECT_EQ(settings.size(), kSettingsRows);
    EXPECT_EQ(accounting.size(), kAccountingRows);
    EXPECT_EQ(progress, (std::vector<int>{3, 5, 6, 7, 8, 9, 10}));
}

INSTANTIATE_TEST_SUITE_P(EventCounts, ReportEventRowsTest, ::testing::Values(0, 37, 100));

TEST_F(ReportFillTest, onMarkOnlyForTheExactOnText) {
    ReportData data = makeSampleReport(0);
    data.events = {
        {"01.01.16  00:00:00:0", "Вкл.", "Выкл."},
        {"01.01.16  00:00:01:0", "Выкл.", "Вкл."},
        {"01.01.16  00:00:02:0", "вкл.", "Вкл"},
        {"01.01.16  00:00:03:0", " Вкл.", ""},
    };
    fill(data);
    ASSERT_EQ(events.size(), 5u);
    const std::string mark = testing::kTick;
    EXPECT_EQ(events[1][1], mark);
    EXPECT_EQ(events[1][2], "");
    EXPECT_EQ(events[2][1], "");
    EXPECT_EQ(events[2][2], mark);
    for (int r : {3, 4}) {
        EXPECT_EQ(events[r][1], "") << r;
        EXPECT_EQ(events[r][2], "") << r;
    }
}

TEST_F(ReportFillTest, settingsAndAccountingRowsHoldTheirLabelsAndValuesInOrder) {
    ReportData data = makeSampleReport(3);
    // The two heading rows have no value, whatever the caller holds for them.
    data.settingsValues[0] = data.settingsValues[30] = "not typed";
    fill(data);

    ASSERT_EQ(settings.size(), kSettingsRows);
    for (std::size_t r = 0; r < kSettingsRows; ++r) {
        ASSERT_EQ(settings[r].size(), 2u) << r;
        EXPECT_EQ(settings[r][0], kSettingsLabels[r]) << "row " << r + 1;
        const bool heading = r == 0 || r == 30;
        EXPECT_EQ(settings[r][1], heading ? "" : data.settingsValues[r]) << "row " << r + 1;
        // Every item below the first heading starts with four blanks, a hyphen, two blanks.
        EXPECT_EQ(settings[r][0].starts_with("    -  "), r != 0) << "row " << r + 1;
    }
    EXPECT_EQ(settings[27][1], "  500") << "leading blanks of a value are kept";
    ASSERT_EQ(accounting.size(), kAccountingRows);
    for (std::size_t r = 0; r < kAccountingRows; ++r) {
        EXPECT_EQ(accounting[r], (std::vector<std::string>{std::string(kAccountingLabels[r]),
                                                           data.accountingValues[r]}));
    }
}

// Each row's value as the configuration page shows it after reading the record; the values
// differ from row to row, so a field in another field's row shows.
TEST(ReportSettingsValues, eachRowShowsItsFieldAsThePageDoes) {
    ConfigRecord r;
    r.rs485SpeedIndex = 12; // shown as 9600 baud
    r.uminVolts = 50;       // the spin edit holds it to 100
    r.uminDelayTenths = 11;
    r.umaxVolts = 252;
    r.umaxDelayTenths = 22;
    r.uAsymPercent = 33;
    r.uAsymDelayTenths = 34;
    r.iholTenths = 44;
    r.iholDelayTenthsOfSecond = 559; // whole seconds, the rest dropped
    r.iAsymPercent = 66;
    r.iAsymDelayTenths = 67;
    r.inomTenths = 77;
    r.vtzTenthsOfSecond = 880;
    r.izklTenths = 99;
    r.izklDelayTenths = 101;
    r.idifTenths = 65535; // six characters, shown whole
    r.idifDelayTenths = 121;
    r.controlByte = composeControlByte(2, false, 1, 2, true);
    r.enableByte = 0x55;
    r.cosCorrectionByte = encodeCosCorrection(-14);
    r.coefficients = {131, 132, 133, 134, 135, 136, 137};
    r.busProtocolIndex = 7; // names no item
    r.busAddress = 151;
    r.tbMs = 160;
    r.teMs = 17;
    const std::array<std::string, kSettingsRows> expected = {
        "",     "ДА",  "ДА",     "100",  "1,1", "НЕТ", "252",    "2,2",    "ДА",  "33",  "3,4",
        "НЕТ",  "4,4", "55",     "ДА",   "66",  "6,7", "НЕТ",    "7,7",    "88",  "ДА",  "9,9",
        "10,1", "НЕТ", "6553,5", "12,1", "НЕТ", "250", "   A/B", "   A/C", "",    "131", "132",
        "133",  "134", "135",    "136",  "137", "-14", "  9600", "",       "151", "160", "17"};
    EXPECT_EQ(settingsValuesFor(r), expected);
}

// The progress bar moves when the typing has reached its step, not before or after.
TEST(ReportFill, progressPositionsFollowTheRowsTyped) {
    DocxDocument document;
    ASSERT_TRUE(document.openFile(TORL7_REPORT_TEMPLATE)) << document.error();
    // Position -> label cells filled in the events / settings / accounting tables by then.
    std::vector<std::array<std::size_t, 4>> seen;
    const auto filledRows = [](const std::vector<std::string>& firstCells) {
        return static_cast<std::size_t>(std::count_if(firstCells.begin(), firstCells.end(),
                                                      [](const auto& t) { return !t.empty(); }));
    };
    const auto snapshot = [&](int position) {
        const auto xml = readDocument(document.bytes());
        std::array<std::size_t, 4> row{static_cast<std::size_t>(position)};
        const auto found = tables(*xml);
        for (std::size_t t = 0; t < 3; ++t) {
            std::vector<std::string> firstCells;
            for (const auto& cells : tableTexts(found.at(t))) {
                firstCells.push_back(cells.at(0));
            }
            row[t + 1] = filledRows(firstCells) - (t == 0 ? 1 : 0); // minus the header
        }
        seen.push_back(row);
    };
    std::string error;
    ASSERT_TRUE(fillReport(document, makeSampleReport(4), snapshot, error)) << error;
    EXPECT_EQ(seen, (std::vector<std::array<std::size_t, 4>>{{3, 0, 0, 0},
                                                             {5, 4, 0, 0},
                                                             {6, 4, 11, 0},
                                                             {7, 4, 26, 0},
                                                             {8, 4, 30, 0},
                                                             {9, 4, 44, 0},
                                                             {10, 4, 44, 5}}));
}

// The tree of a 100-event report (about a megabyte) stays with the engine when the document
// closes, for the next report: given back to the system, every page of it had to be faulted in
// again each time. (Without the tree only the deflate state, a quarter megabyte, is kept.)
TEST(ReportFill, theTreeOfAClosedReportIsKeptForTheNext) {
    {
        DocxDocument document;
        ASSERT_TRUE(document.openFile(TORL7_REPORT_TEMPLATE)) << document.error();
        std::string error;
        ASSERT_TRUE(fillReport(document, makeSampleReport(100), {}, error)) << error;
    }
    EXPECT_GE(engineMemory().keptBytes(), 512u * 1024u);
}

// The labels' letters as the report has always printed them: look-alike Latin and Cyrillic
// letters are told apart by their bytes.
TEST(ReportLabels, lookAlikeLettersAreLatinOrCyrillicExactlyAsPrinted) {
    EXPECT_EQ(kSettingsLabels[0], "Установки контроля и параметров защит:");
    EXPECT_EQ(kSettingsLabels[23], "    -  Утечка тока на \"землю\" (Iут)");
    // Rows 13, 19, 22, 25 end in a Latin A; rows 4 and 7 in a Cyrillic В (D0 92).
    for (int row : {13, 19, 22, 25}) {
        EXPECT_TRUE(kSettingsLabels[row - 1].ends_with(", A")) << row;
    }
    for (int row : {4, 7}) {
        EXPECT_TRUE(kSettingsLabels[row - 1].ends_with(", \xD0\x92")) << row;
    }
    // In Uасм, Iхол, Iут only the leading letter is Latin.
    EXPECT_TRUE(kSettingsLabels[8].ends_with("(U\xD0\xB0\xD1\x81\xD0\xBC)"));
    EXPECT_TRUE(kSettingsLabels[11].ends_with("(I\xD1\x85\xD0\xBE\xD0\xBB)"));
    EXPECT_TRUE(kSettingsLabels[37].ends_with(" I\xD1\x83\xD1\x82"));
    EXPECT_EQ(kSettingsLabels[38], "    -  Поправка cos f");
    EXPECT_EQ(kSettingsLabels[39], "    -  Скорость передачи данных для RS485, бод/сек:");
    // "мС" and "кОм" are Cyrillic.
    EXPECT_TRUE(kSettingsLabels[42].ends_with("Ts, \xD0\xBC\xD0\xA1:"));
    EXPECT_TRUE(kSettingsLabels[27].ends_with("\xD0\xBA\xD0\x9E\xD0\xBC"));
    EXPECT_EQ(kAccountingLabels[4], "Потребленная активная энергия, кВтч:");
}

TEST_F(ReportFillTest, hostileUnitTextsStillGiveAWellFormedReport) {
    ReportData data = makeSampleReport(2);
    data.events[0][3] = std::string("Ut<e>&\x01\x1B[0m");
    data.settingsValues[28] = std::string("\x07<b>&amp;") + '\0';
    data.accountingValues[0] = "]]><!--";
    fill(data); // a parse failure of the saved document fails here
    const std::string r(DocxDocument::kReplacementCharacter);
    EXPECT_EQ(events[1][3], "Ut<e>&" + r + r + "[0m");
    EXPECT_EQ(settings[28][1], r + "<b>&amp;" + r);
    EXPECT_EQ(accounting[0][1], "]]><!--");
}

TEST(ReportFill, missingBookmarkStopsWithTheEnginesMessage) {
    const std::vector<PackagePart> parts = {
        {"word/document.xml",
         "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
         "<w:body><w:p><w:bookmarkStart w:id=\"0\" w:name=\"num\"/></w:p></w:body></w:document>"}};
    Bytes archive;
    std::string error;
    ASSERT_TRUE(writePackage(parts, std::nullopt, archive, error));
    DocxDocument document;
    ASSERT_TRUE(document.openBytes(archive));
    std::vector<int> progress;
    EXPECT_FALSE(fillReport(
        document, makeSampleReport(1), [&](int p) { progress.push_back(p); }, error));
    EXPECT_NE(error.find("tab1"), std::string::npos) << error;
    EXPECT_TRUE(progress.empty());
}

// The core properties say when the report was made (UTC, as W3CDTF); without a time they
// stay as the template has them.
TEST(ReportFill, corePropertiesCarryTheTimeTheReportWasMade) {
    const struct {
        std::optional<std::time_t> made;
        const char* expected; // created and modified, or nullptr: neither element
    } cases[] = {{1796793000, "2026-12-09T05:10:00Z"},
                 {951868799, "2000-02-29T23:59:59Z"},
                 {std::nullopt, nullptr}};
    for (const auto& c : cases) {
        DocxDocument document;
        ASSERT_TRUE(document.openFile(TORL7_REPORT_TEMPLATE)) << document.error();
        ReportData data = makeSampleReport(1);
        data.made = c.made;
        std::string error;
        ASSERT_TRUE(fillReport(document, data, {}, error)) << error;
        const std::string core = testing::readPart(document.bytes(), "docProps/core.xml");
        pugi::xml_document xml;
        ASSERT_TRUE(xml.load_buffer(core.data(), core.size())) << core;
        const pugi::xml_node root = xml.child("cp:coreProperties");
        EXPECT_STREQ(root.child_value("dc:title"), "Протокол устройства защиты ТОРЛ-7");
        for (const char* name : {"dcterms:created", "dcterms:modified"}) {
            const pugi::xml_node stamp = root.child(name);
            if (!c.expected) {
                EXPECT_FALSE(stamp) << name;
                continue;
            }
            EXPECT_STREQ(stamp.child_value(), c.expected) << name;
            EXPECT_STREQ(stamp.attribute("xsi:type").value(), "dcterms:W3CDTF") << name;
        }
    }
}

TEST(ReportName, docxIsAddedOnlyWhenTheFileNameHasNoExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/u/отчёт", "/home/u/отчёт.docx"},
        {"/home/u/отчёт.", "/home/u/отчёт.docx"},
        {"/home/u/отчёт.docx", "/home/u/отчёт.docx"},
        {"/home/u/отчёт.DOC", "/home/u/отчёт.DOC"},
        {"/home/u.v/отчёт", "/home/u.v/отчёт.docx"},
        {"C:\\Отчёты.2026\\ТОРЛ_№600", "C:\\Отчёты.2026\\ТОРЛ_№600.docx"},
        {"отчёт", "отчёт.docx"},
        {"/home/u/", "/home/u/"},
    };
    for (const auto& [given, saved] : cases) {
        EXPECT_EQ(withReportExtension(given), saved) << given;
    }
}

TEST(ReportName, dayMonthAndTwoDigitYearAfterTheFactoryNumber) {
    EXPECT_EQ(defaultReportName(600, 2026, 12, 8), "ТОРЛ_№600_0812_26.docx");
    EXPECT_EQ(defaultReportName(1234, 2016, 3, 5), "ТОРЛ_№1234_0503_16.docx");
    EXPECT_EQ(defaultReportName(65535, 2100, 1, 31), "ТОРЛ_№65535_3101_00.docx");
}

} // namespace
} // namespace torl7
