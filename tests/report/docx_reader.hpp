// Reads a saved DOCX back the way an outside program would: libzip for the archive, pugixml
// with its strict default parsing for the XML. Independent of the engine under test.
#pragma once

#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <zip.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace torl7::testing {

// The bytes of one part, or nothing (with a test failure) when the archive or part is bad.
inline std::string readPart(const std::vector<std::uint8_t>& docx, const char* name) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(docx.data(), docx.size(), 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    zip_error_fini(&error);
    if (!archive) {
        if (source) {
            zip_source_free(source);
        }
        ADD_FAILURE() << "not a ZIP archive";
        return {};
    }
    std::string text;
    zip_stat_t stat;
    if (zip_stat(archive, name, 0, &stat) == 0) {
        zip_file_t* file = zip_fopen(archive, name, 0);
        text.resize(stat.size);
        const zip_int64_t got = file ? zip_fread(file, text.data(), stat.size) : -1;
        if (file) {
            zip_fclose(file);
        }
        if (got != static_cast<zip_int64_t>(stat.size)) {
            ADD_FAILURE() << "cannot unpack " << name;
            text.clear();
        }
    } else {
        ADD_FAILURE() << "no part " << name;
    }
    zip_discard(archive);
    return text;
}

// The main document part, parsed strictly; a parse error fails the test.
inline std::unique_ptr<pugi::xml_document> readDocument(const std::vector<std::uint8_t>& docx) {
    auto xml = std::make_unique<pugi::xml_document>();
    const std::string text = readPart(docx, "word/document.xml");
    const pugi::xml_parse_result parsed =
        xml->load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    EXPECT_TRUE(parsed) << parsed.description() << " at byte " << parsed.offset;
    return xml;
}

// Text of an element as a reader sees it: w:t texts, w:tab as a tab, w:br as a line feed,
// w:sym as "[font:code]".
inline std::string textOf(pugi::xml_node node) {
    std::string text;
    for (pugi::xml_node n : node.children()) {
        const std::string_view name = n.name();
        if (name == "w:t") {
            text += n.child_value();
        } else if (name == "w:tab") {
            text += '\t';
        } else if (name == "w:br") {
            text += '\n';
        } else if (name == "w:sym") {
            // A symbol-font character, shown as its font and code.
            text += std::string("[") + n.attribute("w:font").value() + ":" +
                    n.attribute("w:char").value() + "]";
        } else if (n.type() == pugi::node_element && name != "w:pPr" && name != "w:rPr" &&
                   name != "w:instrText") {
            text += textOf(n);
        }
    }
    return text;
}

// The tick of the event table's state cells as textOf shows it: the check mark of Wingdings.
inline const std::string kTick = "[Wingdings:F0FC]";

inline std::vector<pugi::xml_node> children(pugi::xml_node node, const char* name) {
    std::vector<pugi::xml_node> found;
    for (pugi::xml_node n : node.children(name)) {
        found.push_back(n);
    }
    return found;
}

// The texts of a table, row by row, cell by cell.
inline std::vector<std::vector<std::string>> tableTexts(pugi::xml_node table) {
    std::vector<std::vector<std::string>> rows;
    for (pugi::xml_node row : table.children("w:tr")) {
        std::vector<std::string>& cells = rows.emplace_back();
        for (pugi::xml_node cell : row.children("w:tc")) {
            cells.push_back(textOf(cell));
        }
    }
    return rows;
}

inline std::vector<pugi::xml_node> tables(const pugi::xml_document& xml) {
    return children(xml.child("w:document").child("w:body"), "w:tbl");
}

} // namespace torl7::testing
