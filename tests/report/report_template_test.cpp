#include "documents/report_template.hpp"

#include "protocol/encodings.hpp"
#include "report/docx_reader.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace torl7 {
namespace {

namespace fs = std::filesystem;
using testing::tableTexts;

Bytes fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

pugi::xml_node findBookmark(const pugi::xml_document& xml, std::string_view name,
                            int* count = nullptr) {
    pugi::xml_node found;
    int seen = 0;
    for (pugi::xpath_node n : xml.select_nodes("//w:bookmarkStart")) {
        if (name == n.node().attribute("w:name").value()) {
            found = n.node();
            ++seen;
        }
    }
    if (count) {
        *count = seen;
    }
    return found;
}

// What the report writer relies on in the shipped template.
class ShippedTemplateTest : public ::testing::Test {
protected:
    void SetUp() override {
        archive = fileBytes(TORL7_REPORT_TEMPLATE);
        ASSERT_FALSE(archive.empty()) << TORL7_REPORT_TEMPLATE;
        xml = testing::readDocument(archive);
    }
    Bytes archive;
    std::unique_ptr<pugi::xml_document> xml;
};

TEST_F(ShippedTemplateTest, eachBookmarkExistsOnceAndInItsPlace) {
    for (const char* name : {"num", "tab1", "tab2", "tab3"}) {
        int count = 0;
        findBookmark(*xml, name, &count);
        EXPECT_EQ(count, 1) << name;
    }
    EXPECT_FALSE(findBookmark(*xml, "num").parent().select_node("ancestor::w:tbl"));

    // "tab1" ends the header row: the next cell to the right is the first data cell.
    const pugi::xml_node tab1Cell = findBookmark(*xml, "tab1").parent().parent();
    ASSERT_STREQ(tab1Cell.name(), "w:tc");
    EXPECT_FALSE(tab1Cell.next_sibling("w:tc"));
    const pugi::xml_node header = tab1Cell.parent();
    EXPECT_TRUE(header.child("w:trPr").child("w:tblHeader"));
    ASSERT_TRUE(header.next_sibling("w:tr"));
    EXPECT_EQ(tableTexts(header.parent())[0],
              (std::vector<std::string>{"Дата/Время", "ТОРЛ", "Обор.", "Защита", "Ua, \xD0\x92",
                                        "Ub, \xD0\x92", "Uc, \xD0\x92", "Ia, A", "Ib, A", "Ic, A",
                                        "I\xD1\x83\xD1\x82, \xD0\x90", "cos f"}));

    // "tab2" and "tab3" open the first cell of a two-column table.
    for (const char* name : {"tab2", "tab3"}) {
        const pugi::xml_node cell = findBookmark(*xml, name).parent().parent();
        ASSERT_STREQ(cell.name(), "w:tc") << name;
        EXPECT_FALSE(cell.previous_sibling("w:tc")) << name;
        EXPECT_EQ(testing::children(cell.parent(), "w:tc").size(), 2u) << name;
        EXPECT_FALSE(cell.parent().previous_sibling("w:tr")) << name;
    }
}

TEST_F(ShippedTemplateTest, everyPartTheContentTypesNameIsInThePackage) {
    pugi::xml_document types;
    const std::string text = testing::readPart(archive, "[Content_Types].xml");
    ASSERT_TRUE(types.load_string(text.c_str()));
    int overrides = 0;
    for (pugi::xml_node o : types.child("Types").children("Override")) {
        const std::string part = std::string(o.attribute("PartName").value()).substr(1);
        EXPECT_FALSE(testing::readPart(archive, part.c_str()).empty()) << part;
        ++overrides;
    }
    EXPECT_GE(overrides, 3);
}

class TemplateLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A folder name outside ASCII, like a Cyrillic user name.
        top = fs::temp_directory_path() / fs::path(u8"шаблон Иванова ");
        top += ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(top);
        fs::create_directories(top / "bin");
    }
    void TearDown() override { fs::remove_all(top); }
    void place(const fs::path& folder) {
        fs::create_directories(folder);
        std::ofstream(folder / "prot-torl.docx") << "x";
    }
    fs::path top;
};

TEST_F(TemplateLookupTest, installedTreeComesFirstThenBesideTheProgramThenTheBuildTree) {
    EXPECT_FALSE(findReportTemplate(top / "bin"));
    // A folder named like the template is not the template.
    fs::create_directories(top / "bin" / "docs" / "prot-torl.docx");
    EXPECT_FALSE(findReportTemplate(top / "bin"));
    fs::remove_all(top / "bin" / "docs");

    place(top / "docs");
    EXPECT_EQ(findReportTemplate(top / "bin"), top / "docs" / "prot-torl.docx");
    place(top / "bin" / "docs");
    EXPECT_EQ(findReportTemplate(top / "bin"), top / "bin" / "docs" / "prot-torl.docx");
    place(top / "share" / "torl7" / "docs");
    EXPECT_EQ(findReportTemplate(top / "bin"), top / "share" / "torl7" / "docs" / "prot-torl.docx");
}

} // namespace
} // namespace torl7
