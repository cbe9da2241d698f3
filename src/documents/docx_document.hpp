// A word-processing document (DOCX) filled the way a typist fills a form: go to a bookmark,
// type, move one table cell to the right. Only `word/document.xml` is edited; every other
// part of the package is written back unchanged. Plain C++ (libzip, zlib, pugixml), no Qt.
//
// Nothing here throws: every operation returns false and leaves a message in error().
#pragma once

#include "documents/docx_package.hpp"

#include <pugixml.hpp>

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace torl7 {

class DocxDocument {
public:
    // Stands in for a character that an XML 1.0 document cannot hold: C0 controls other than
    // tab, line feed and carriage return, U+FFFE, U+FFFF and bytes that are not UTF-8.
    static constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD

    DocxDocument() = default;
    DocxDocument(const DocxDocument&) = delete;
    DocxDocument& operator=(const DocxDocument&) = delete;

    // Loads a package from a file (read whole into memory) or from bytes. The file itself is
    // never written.
    bool openFile(const std::string& utf8Path);
    bool openBytes(ByteSpan archive);
    bool isOpen() const { return body_ != nullptr; }

    // Puts the insertion point where the bookmark starts. A bookmark between paragraphs or
    // between table cells puts it at the start of the next paragraph.
    bool goToBookmark(std::string_view name);

    // Inserts UTF-8 text at the insertion point, in the formatting found there, and leaves
    // the insertion point after it. A tab becomes a tab stop, a line feed or carriage return
    // a line break; characters a document cannot hold become kReplacementCharacter. An empty
    // text inserts nothing.
    bool typeText(std::string_view utf8);

    // Inserts a symbol character at the insertion point, in the formatting found there: the
    // character `hexCode` (four hexadecimal digits, "F0FC") of the symbol font `font`. Word and
    // LibreOffice both draw it from that font whatever the text around it uses.
    bool typeSymbol(std::string_view font, std::string_view hexCode);

    // Moves to the start of the next table cell; from the last cell of a row to the first
    // cell of the next row. From the last cell of the table it first appends a row like the
    // table's last one (same cells and formatting, no text, no bookmarks, not a header row).
    bool moveRight();

    // Stamps the document's core properties (created and modified) with this time when it is
    // saved; without it they stay as the template has them.
    void setMadeAt(std::time_t made);

    // Writes the whole package to a temporary file in the target folder and renames it into
    // place, so the target name never holds a half-written document.
    bool saveAs(const std::string& utf8Path);

    // The package as it would be saved; empty (with error()) on failure.
    Bytes bytes();

    const std::string& error() const { return error_; }

private:
    bool load(std::vector<PackagePart> parts);
    bool fail(std::string message);
    std::string wordName(std::string_view localName) const;
    bool isWord(pugi::xml_node node, std::string_view localName) const;
    pugi::xml_node ancestor(pugi::xml_node node, std::string_view localName) const;
    pugi::xml_node nextSiblingElement(pugi::xml_node node, std::string_view localName) const;
    pugi::xml_node firstChildElement(pugi::xml_node node, std::string_view localName) const;
    void placeAtCellStart(pugi::xml_node cell);
    pugi::xml_node appendRowLike(pugi::xml_node row);
    void cleanRowPattern(pugi::xml_node copy);
    pugi::xml_node insertRun();
    void appendTextRun(std::string_view text);
    void appendRunElement(std::string_view localName);
    void ensureCellParagraphs();
    bool serialize(Bytes& archive);
    bool stampCoreProperties();

    std::vector<PackagePart> parts_;
    std::size_t documentPart_ = 0;
    pugi::xml_document xml_;
    pugi::xml_node body_;
    // Prefix bound to the WordprocessingML namespace, with its colon ("w:"), or empty when
    // that namespace is the default one.
    std::string prefix_;

    // Insertion point: new content goes into `container_` right after `after_`, or first
    // (after any properties element) when `after_` is empty. `paragraph_` is the paragraph
    // that holds the container.
    pugi::xml_node paragraph_;
    pugi::xml_node container_;
    pugi::xml_node after_;

    // Every bookmark's start, by name, in document order.
    std::vector<std::pair<std::string, pugi::xml_node>> bookmarks_;

    // A row like the table's last one with no text, no bookmarks and not a header row, kept
    // per table (the key) once the first row has been added. The patterns sit on a shelf after
    // the root element of the same tree, so that copies share their names and values with it
    // instead of allocating each again; the shelf is taken down before saving.
    pugi::xml_node patternShelf_;
    std::vector<std::pair<pugi::xml_node, pugi::xml_node>> rowPatterns_;

    std::optional<std::time_t> madeAt_;
    std::string error_;
};

// "2026-12-09T05:10:00Z": the time as the core properties hold it (W3C date and time, UTC).
std::string coreTimeText(std::time_t made);

} // namespace torl7
