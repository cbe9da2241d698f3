#include "documents/docx_document.hpp"

#include "report/docx_reader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace torl7 {
namespace {

using testing::readDocument;
using testing::tables;
using testing::tableTexts;
using testing::textOf;

constexpr const char* kWordNs = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";

// A minimal package around a body, with any prefix for the WordprocessingML namespace.
Bytes makeDocx(const std::string& body, const std::string& prefix = "w") {
    const std::string p = prefix.empty() ? "" : prefix + ":";
    const std::string xmlns = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
    std::vector<PackagePart> parts = {
        {"[Content_Types].xml",
         "<?xml version=\"1.0\"?><Types "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
        {"word/document.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<" +
                                  p + "document " + xmlns + "=\"" + kWordNs + "\"><" + p + "body>" +
                                  body + "</" + p + "body></" + p + "document>"},
    };
    Bytes archive;
    std::string error;
    EXPECT_TRUE(writePackage(parts, std::nullopt, archive, error)) << error;
    return archive;
}

// A cell with a paragraph whose mark carries `markProperties`; `content` goes into the paragraph.
std::string cell(const std::string& content = "", const std::string& markProperties = "") {
    return "<w:tc><w:tcPr><w:tcW w:w=\"1000\" w:type=\"dxa\"/></w:tcPr><w:p><w:pPr><w:rPr>" +
           markProperties + "</w:rPr></w:pPr>" + content + "</w:p></w:tc>";
}

std::string bookmark(const std::string& name, int id) {
    const std::string i = std::to_string(id);
    return "<w:bookmarkStart w:id=\"" + i + "\" w:name=\"" + name + "\"/><w:bookmarkEnd w:id=\"" +
           i + "\"/>";
}

// Two-by-two table: a header row whose second cell ends with bookmark "head", and a data row.
const std::string kTable = "<w:tbl><w:tblPr/><w:tblGrid><w:gridCol/><w:gridCol/></w:tblGrid>"
                           "<w:tr><w:trPr><w:tblHeader/></w:trPr>" +
                           cell("<w:r><w:t>A</w:t></w:r>") +
                           cell("<w:r><w:t>B</w:t></w:r>" + bookmark("head", 1)) + "</w:tr><w:tr>" +
                           cell("", "<w:b/>") + cell("", "<w:i/>") + "</w:tr></w:tbl>";

class DocxDocumentTest : public ::testing::Test {
protected:
    void open(const Bytes& archive) {
        ASSERT_TRUE(document.openBytes(archive)) << document.error();
    }

    std::unique_ptr<pugi::xml_document> saved() {
        const Bytes archive = document.bytes();
        EXPECT_FALSE(archive.empty()) << document.error();
        return readDocument(archive);
    }

    DocxDocument document;
};

TEST_F(DocxDocumentTest, typedTextGoesRightAfterTheBookmarkInTheFormattingBeforeIt) {
    open(makeDocx("<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>Номер</w:t></w:r>" + bookmark("num", 0) +
                  "<w:r><w:t>!</w:t></w:r></w:p>"));
    ASSERT_TRUE(document.goToBookmark("num"));
    ASSERT_TRUE(document.typeText("  600"));
    ASSERT_TRUE(document.typeText("  "));

    const auto xml = saved();
    const pugi::xml_node paragraph = xml->child("w:document").child("w:body").child("w:p");
    EXPECT_EQ(textOf(paragraph), "Номер  600  !");
    const pugi::xml_node typed = paragraph.child("w:bookmarkStart").next_sibling();
    ASSERT_STREQ(typed.name(), "w:r");
    EXPECT_TRUE(typed.child("w:rPr").child("w:b")) << "formatting of the run before";
    EXPECT_STREQ(typed.child("w:t").attribute("xml:space").value(), "preserve");
    EXPECT_STREQ(typed.next_sibling().child("w:t").attribute("xml:space").value(), "preserve");
}

TEST_F(DocxDocumentTest, unitTextsThatXmlCannotHoldStillGiveAWellFormedDocument) {
    open(makeDocx("<w:p>" + bookmark("x", 0) + "</w:p>"));
    ASSERT_TRUE(document.goToBookmark("x"));
    // XML specials, C0 controls, a tab and line breaks, U+FFFF, a lone continuation byte,
    // a truncated sequence and an encoded surrogate (three bytes, none of them a valid start).
    const std::string hostile = std::string("a<b>&c\"d]]>") + '\x01' + '\x1F' + '\0' +
                                "e\tf\r\ng\n" + "\xEF\xBF\xBF" + "\x80" + "\xD0" + "\xED\xA0\x80" +
                                "z";
    ASSERT_TRUE(document.typeText(hostile));

    const auto xml = saved();
    const std::string r = std::string(DocxDocument::kReplacementCharacter);
    EXPECT_EQ(textOf(xml->child("w:document").child("w:body").child("w:p")),
              "a<b>&c\"d]]>" + r + r + r + "e\tf\ng\n" + r + r + r + r + r + r + "z");
}

TEST_F(DocxDocumentTest, blankOnlyTextOfTheTemplateSurvivesARoundTrip) {
    open(makeDocx("<w:p><w:r><w:t xml:space=\"preserve\">   </w:t></w:r></w:p>"));
    const auto xml = saved();
    EXPECT_EQ(textOf(xml->child("w:document").child("w:body").child("w:p")), "   ");
}

TEST_F(DocxDocumentTest, moveRightWalksCellsAndRowsThenAddsAnEmptyRowLikeTheLast) {
    open(makeDocx(kTable));
    ASSERT_TRUE(document.goToBookmark("head"));
    for (const char* text : {"1", "2", "3", "4", "5"}) {
        ASSERT_TRUE(document.moveRight()) << document.error();
        ASSERT_TRUE(document.typeText(text));
    }

    const auto xml = saved();
    const pugi::xml_node table = tables(*xml).at(0);
    EXPECT_EQ(tableTexts(table), (std::vector<std::vector<std::string>>{
                                     {"A", "B"}, {"1", "2"}, {"3", "4"}, {"5", ""}}));
    const auto rows = testing::children(table, "w:tr");
    // The data rows carry no header mark and no bookmark; the header keeps both.
    EXPECT_TRUE(rows[0].child("w:trPr").child("w:tblHeader"));
    EXPECT_TRUE(rows[0].find_node(
        [](pugi::xml_node n) { return std::string_view(n.name()) == "w:bookmarkStart"; }));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        EXPECT_FALSE(rows[i].child("w:trPr").child("w:tblHeader"));
        EXPECT_FALSE(rows[i].find_node(
            [](pugi::xml_node n) { return std::string_view(n.name()).starts_with("w:bookmark"); }));
    }
    // Added rows keep cell and paragraph-mark formatting, and the text takes it.
    const pugi::xml_node added = rows[2].child("w:tc");
    EXPECT_TRUE(added.child("w:tcPr").child("w:tcW"));
    EXPECT_TRUE(added.child("w:p").child("w:r").child("w:rPr").child("w:b"));
    EXPECT_TRUE(added.next_sibling("w:tc").child("w:p").child("w:r").child("w:rPr").child("w:i"));
}

TEST_F(DocxDocumentTest, rowAddedAfterAHeaderOnlyTableLosesTheHeaderMarkBookmarkAndText) {
    // Bookmarks both inside a cell and between cells of the row.
    open(makeDocx("<w:tbl><w:tr><w:trPr><w:cantSplit/><w:tblHeader/></w:trPr>" +
                  bookmark("row", 4) + cell("<w:r><w:t>Заголовок</w:t></w:r>" + bookmark("t", 5)) +
                  // A cell holding two paragraphs: the copy keeps only an empty first one.
                  "<w:tc><w:p><w:r><w:t>x</w:t></w:r></w:p><w:p><w:r><w:t>y</w:t></w:r></w:p>"
                  "</w:tc></w:tr></w:tbl>"));
    ASSERT_TRUE(document.goToBookmark("t"));
    ASSERT_TRUE(document.moveRight());
    ASSERT_TRUE(document.moveRight());
    ASSERT_TRUE(document.typeText("новая"));

    const auto xml = saved();
    const auto rows = testing::children(tables(*xml).at(0), "w:tr");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(tableTexts(tables(*xml).at(0))[1], (std::vector<std::string>{"новая", ""}));
    EXPECT_TRUE(rows[1].child("w:trPr").child("w:cantSplit"));
    EXPECT_FALSE(rows[1].child("w:trPr").child("w:tblHeader"));
    EXPECT_EQ(xml->select_nodes("//w:bookmarkStart").size(), 2u);
    EXPECT_EQ(xml->select_nodes("//w:bookmarkEnd").size(), 2u);
    EXPECT_FALSE(rows[1].select_node(".//w:bookmarkStart | .//w:bookmarkEnd"));
    for (pugi::xml_node c : rows[1].children("w:tc")) {
        EXPECT_EQ(testing::children(c, "w:p").size(), 1u);
    }
}

TEST_F(DocxDocumentTest, bookmarkBetweenBlocksLeadsToTheNextParagraph) {
    open(makeDocx("<w:p/>" + bookmark("before", 7) +
                  "<w:tbl><w:tr><w:tc><w:p><w:pPr><w:jc w:val=\"left\"/></w:pPr></w:p></w:tc>"
                  "<w:tc><w:p/></w:tc></w:tr></w:tbl>"));
    ASSERT_TRUE(document.goToBookmark("before"));
    ASSERT_TRUE(document.typeText("first"));
    ASSERT_TRUE(document.moveRight());
    ASSERT_TRUE(document.typeText("second"));

    const auto xml = saved();
    EXPECT_EQ(tableTexts(tables(*xml).at(0))[0], (std::vector<std::string>{"first", "second"}));
    const pugi::xml_node paragraph = tables(*xml).at(0).child("w:tr").child("w:tc").child("w:p");
    EXPECT_STREQ(paragraph.first_child().name(), "w:pPr") << "properties stay first";
}

TEST_F(DocxDocumentTest, worksWhateverPrefixTheDocumentGivesItsNamespace) {
    for (const std::string prefix : {"x", ""}) {
        const std::string p = prefix.empty() ? "" : prefix + ":";
        DocxDocument doc;
        ASSERT_TRUE(
            doc.openBytes(makeDocx("<" + p + "tbl><" + p + "tr><" + p + "tc><" + p + "p><" + p +
                                       "bookmarkStart " + p + "id=\"0\" " + p + "name=\"b\"/></" +
                                       p + "p></" + p + "tc></" + p + "tr></" + p + "tbl>",
                                   prefix)))
            << doc.error();
        ASSERT_TRUE(doc.goToBookmark("b")) << prefix << ": " << doc.error();
        ASSERT_TRUE(doc.moveRight()) << prefix << ": " << doc.error();
        ASSERT_TRUE(doc.typeText("v"));
        pugi::xml_document xml;
        const std::string text = testing::readPart(doc.bytes(), "word/document.xml");
        ASSERT_TRUE(xml.load_string(text.c_str()));
        const std::string row = p + "tr";
        EXPECT_EQ(xml.select_nodes(("//" + row).c_str()).size(), 2u) << prefix;
        EXPECT_EQ(text.find("<" + p + "r><" + p + "t>v</" + p + "t></" + p + "r>") ==
                      std::string::npos,
                  false)
            << prefix;
    }
}

TEST_F(DocxDocumentTest, everyCellEndsWithAParagraphWhenSaved) {
    open(makeDocx("<w:tbl><w:tr><w:tc><w:tcPr/></w:tc><w:tc><w:p/><w:tbl><w:tr><w:tc><w:p/>"
                  "</w:tc></w:tr></w:tbl></w:tc></w:tr></w:tbl><w:p/>"));
    const auto xml = saved();
    for (pugi::xpath_node found : xml->select_nodes("//w:tc")) {
        pugi::xml_node last = found.node().last_child();
        while (last && last.type() != pugi::node_element) {
            last = last.previous_sibling();
        }
        EXPECT_STREQ(last.name(), "w:p");
    }
}

TEST_F(DocxDocumentTest, failuresAreReportedAsMessagesNotExceptions) {
    open(makeDocx("<w:p>" + bookmark("plain", 0) + "</w:p>"));
    EXPECT_FALSE(document.goToBookmark("tab9"));
    EXPECT_NE(document.error().find("tab9"), std::string::npos);
    ASSERT_TRUE(document.goToBookmark("plain"));
    EXPECT_FALSE(document.moveRight()) << "not in a table";
    EXPECT_FALSE(document.error().empty());

    DocxDocument closed;
    EXPECT_FALSE(closed.typeText("x"));
    EXPECT_FALSE(closed.moveRight());
    EXPECT_TRUE(closed.bytes().empty());
    EXPECT_FALSE(closed.openFile("/nonexistent/prot-torl.docx"));
    EXPECT_NE(closed.error().find("/nonexistent/prot-torl.docx"), std::string::npos);

    const Bytes notZip = {'P', 'K', 3, 4, 0, 0, 1, 2, 3};
    EXPECT_FALSE(closed.openBytes(notZip));
    std::vector<PackagePart> noDocument = {{"word/styles.xml", "<w:styles/>"}};
    Bytes archive;
    std::string error;
    ASSERT_TRUE(writePackage(noDocument, std::nullopt, archive, error));
    EXPECT_FALSE(closed.openBytes(archive));
    EXPECT_NE(closed.error().find("word/document.xml"), std::string::npos);
    EXPECT_FALSE(closed.openBytes(makeDocx("<w:p>")));
    EXPECT_FALSE(closed.isOpen());
}

TEST(DocxPackage, refusesAnArchiveThatUnpacksLargerThanTheLimit) {
    const std::vector<PackagePart> parts = {{"a.xml", std::string(4000, 'a')},
                                            {"b.xml", std::string(4000, 'b')}};
    Bytes archive;
    std::string error;
    ASSERT_TRUE(writePackage(parts, std::nullopt, archive, error)) << error;
    std::vector<PackagePart> read;
    EXPECT_TRUE(readPackage(archive, read, error, 8000));
    EXPECT_EQ(read.size(), 2u);
    EXPECT_FALSE(readPackage(archive, read, error, 7999));
    EXPECT_TRUE(read.empty());
}

// Each entry as a strict outside reader finds it: libzip checking the central directory against
// every local header, then reading each part whole (which checks its CRC).
TEST(DocxPackage, everyEntryAgreesWithItsLocalHeaderAndCrcWhateverItsSizeOrName) {
    struct Case {
        std::string name;
        std::string data;
        bool deflated;
    };
    std::string xml;
    for (int i = 0; xml.size() < 300000; ++i) {
        xml += "<w:tr><w:tc><w:p><w:r><w:t>" + std::to_string(i * 7919) +
               "</w:t></w:r></w:p></w:tc></w:tr>";
    }
    const std::vector<Case> cases = {
        {"[Content_Types].xml", "<Types/>", false},
        {"empty.xml", "", false},
        {"just-below.bin", std::string(4095, 'x'), false},
        {"docProps/свойства.xml", std::string(4096, 'y'), true}, // UTF-8 name
        {"word/document.xml", xml, true},
    };
    const std::time_t modified = 1796792400; // 2026-12-09 05:00:00 UTC
    PackageWriter writer(modified);
    for (const Case& c : cases) {
        if (c.name == "word/document.xml") { // in uneven pieces, as the XML writer hands them
            ASSERT_TRUE(writer.beginPart(c.name));
            for (std::size_t at = 0; at < c.data.size(); at += 10007) {
                writer.write(std::string_view(c.data).substr(at, 10007));
            }
            ASSERT_TRUE(writer.endPart()) << writer.error();
        } else {
            ASSERT_TRUE(writer.addPart(c.name, c.data)) << writer.error();
        }
    }
    Bytes archive;
    ASSERT_TRUE(writer.finish(archive)) << writer.error();

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
    zip_t* zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    ASSERT_NE(zip, nullptr) << zip_error_strerror(&error);
    zip_error_fini(&error);
    ASSERT_EQ(zip_get_num_entries(zip, 0), static_cast<zip_int64_t>(cases.size()));
    for (zip_uint64_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        zip_stat_t stat;
        ASSERT_EQ(zip_stat_index(zip, i, 0, &stat), 0);
        EXPECT_EQ(stat.name, c.name);
        EXPECT_EQ(stat.comp_method, c.deflated ? ZIP_CM_DEFLATE : ZIP_CM_STORE) << c.name;
        EXPECT_LE(std::abs(std::difftime(stat.mtime, modified)), 2.0) << c.name;
        std::string data(stat.size, '\0');
        zip_file_t* file = zip_fopen_index(zip, i, 0);
        ASSERT_NE(file, nullptr) << c.name;
        EXPECT_EQ(zip_fread(file, data.data(), data.size()),
                  static_cast<zip_int64_t>(c.data.size()))
            << c.name << ": " << zip_file_strerror(file);
        char more = 0;
        EXPECT_EQ(zip_fread(file, &more, 1), 0) << c.name << ": " << zip_file_strerror(file);
        zip_fclose(file);
        EXPECT_TRUE(data == c.data) << c.name;
    }
    zip_discard(zip);
    EXPECT_LT(archive.size(), xml.size() / 4) << "deflated";

    PackageWriter nothing(std::nullopt);
    EXPECT_FALSE(nothing.finish(archive));
    PackageWriter unfinished(std::nullopt);
    ASSERT_TRUE(unfinished.beginPart("word/document.xml"));
    EXPECT_FALSE(unfinished.addPart("word/styles.xml", "<w:styles/>"));
    EXPECT_FALSE(unfinished.finish(archive));
    EXPECT_TRUE(archive.empty());
}

class DocxSaveTest : public DocxDocumentTest {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("docx-save-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                  "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        open(makeDocx("<w:p>" + bookmark("b", 0) + "</w:p>"));
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    static Bytes fileBytes(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path folder;
};

TEST_F(DocxSaveTest, savingIntoAMissingFolderFailsAndLeavesNothingBehind) {
    const std::filesystem::path missing = folder / "missing";
    EXPECT_FALSE(document.saveAs((missing / "report.docx").string()));
    EXPECT_NE(document.error().find("missing"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_TRUE(entries().empty());
}

TEST_F(DocxSaveTest, savingOverAnOlderFileReplacesItWholeAndLeavesNoTemporaryFile) {
    const std::filesystem::path target = folder / "ТОРЛ_№600_0812_26.docx";
    { std::ofstream(target) << "older report"; }
    ASSERT_TRUE(document.goToBookmark("b"));
    ASSERT_TRUE(document.typeText("новый"));
    const std::string path = reinterpret_cast<const char*>(target.u8string().c_str());
    ASSERT_TRUE(document.saveAs(path)) << document.error();

    EXPECT_EQ(entries(), std::vector<std::string>{target.filename().string()});
    const Bytes written = fileBytes(target);
    EXPECT_EQ(textOf(readDocument(written)->child("w:document").child("w:body").child("w:p")),
              "новый");
    // A folder standing where the file should go is refused, not replaced.
    EXPECT_FALSE(document.saveAs(folder.string()));
}

} // namespace
} // namespace torl7
