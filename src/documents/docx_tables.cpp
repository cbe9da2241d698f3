// Moving through the tables of the report: the next cell, a new row like the last one, and
// the paragraphs every cell must keep.
#include "documents/docx_document.hpp"
#include "documents/docx_xml.hpp"

namespace torl7 {

using namespace docx;

void DocxDocument::placeAtCellStart(pugi::xml_node cell) {
    pugi::xml_node paragraph = firstChildElement(cell, "p");
    if (!paragraph) {
        paragraph = cell.append_child(wordName("p").c_str());
    }
    paragraph_ = container_ = paragraph;
    after_ = {};
}

pugi::xml_node DocxDocument::appendRowLike(pugi::xml_node row) {
    // The cleaned pattern is made once per table and copied for every row after that: copying
    // the last row with its typed text and then removing that text again made each added row
    // cost two full copies.
    pugi::xml_node table = row.parent();
    pugi::xml_node pattern;
    for (const auto& [owner, kept] : rowPatterns_) {
        if (owner == table) {
            pattern = kept;
            break;
        }
    }
    if (!pattern) {
        if (!patternShelf_) {
            patternShelf_ = xml_.append_child("row-patterns");
        }
        pattern = patternShelf_.append_copy(row);
        cleanRowPattern(pattern);
        rowPatterns_.emplace_back(table, pattern);
    }
    return table.insert_copy_after(pattern, row);
}

void DocxDocument::cleanRowPattern(pugi::xml_node copy) {

    if (pugi::xml_node properties = firstChildElement(copy, "trPr")) {
        while (const pugi::xml_node header = firstChildElement(properties, "tblHeader")) {
            properties.remove_child(header);
        }
    }
    // Each cell keeps its properties and one empty paragraph with its paragraph mark. The
    // nodes collected here are disjoint subtrees, so removing one never frees another.
    std::vector<pugi::xml_node> doomed;
    // The layout blanks between the cells of the template's row are not worth a copy per row.
    for (pugi::xml_node n = copy.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_pcdata) {
            doomed.push_back(n);
        }
    }
    for (pugi::xml_node cell = firstChildElement(copy, "tc"); cell;
         cell = nextSiblingElement(cell, "tc")) {
        const pugi::xml_node paragraph = firstChildElement(cell, "p");
        for (pugi::xml_node n = cell.first_child(); n; n = n.next_sibling()) {
            if (n != paragraph && !isWord(n, "tcPr")) {
                doomed.push_back(n);
            }
        }
        if (paragraph) {
            for (pugi::xml_node n = paragraph.first_child(); n; n = n.next_sibling()) {
                if (!isWord(n, "pPr")) {
                    doomed.push_back(n);
                }
            }
        }
    }
    for (pugi::xml_node n : doomed) {
        n.parent().remove_child(n);
    }
    for (pugi::xml_node cell = firstChildElement(copy, "tc"); cell;
         cell = nextSiblingElement(cell, "tc")) {
        if (!firstChildElement(cell, "p")) {
            cell.append_child(wordName("p").c_str());
        }
    }

    // What is left of bookmarks sits between cells; bookmark elements are empty, so these
    // too are disjoint.
    doomed.clear();
    const auto dropIdentity = [](pugi::xml_node n) {
        // Word identifies paragraphs and rows by these; a copy must not share them.
        for (pugi::xml_attribute a = n.first_attribute(); a;) {
            const pugi::xml_attribute next = a.next_attribute();
            if (endsWith(a.name(), ":paraId") || endsWith(a.name(), ":textId")) {
                n.remove_attribute(a);
            }
            a = next;
        }
    };
    dropIdentity(copy);
    forEachDescendant(copy, [&](pugi::xml_node n) {
        if (isWord(n, "bookmarkStart") || isWord(n, "bookmarkEnd")) {
            doomed.push_back(n);
        }
        dropIdentity(n);
    });
    for (pugi::xml_node n : doomed) {
        n.parent().remove_child(n);
    }
}

bool DocxDocument::moveRight() {
    return guarded(error_, [&] {
        if (!isOpen() || !paragraph_) {
            return fail("Документ не открыт.");
        }
        const pugi::xml_node cell = ancestor(paragraph_, "tc");
        if (!cell) {
            return fail("Переход к следующей ячейке: позиция ввода не в таблице.");
        }
        if (const pugi::xml_node next = nextSiblingElement(cell, "tc")) {
            placeAtCellStart(next);
            return true;
        }
        const pugi::xml_node row = cell.parent();
        for (pugi::xml_node next = nextSiblingElement(row, "tr"); next;
             next = nextSiblingElement(next, "tr")) {
            if (const pugi::xml_node first = firstChildElement(next, "tc")) {
                placeAtCellStart(first);
                return true;
            }
        }
        pugi::xml_node last = row;
        for (pugi::xml_node n = row; n; n = nextSiblingElement(n, "tr")) {
            last = n;
        }
        const pugi::xml_node added = appendRowLike(last);
        const pugi::xml_node first = firstChildElement(added, "tc");
        if (!first) {
            return fail("Не удалось добавить строку таблицы.");
        }
        placeAtCellStart(first);
        return true;
    });
}

void DocxDocument::ensureCellParagraphs() {
    std::vector<pugi::xml_node> cells;
    forEachDescendant(body_, [&](pugi::xml_node n) {
        if (isWord(n, "tc")) {
            cells.push_back(n);
        }
    });
    for (pugi::xml_node cell : cells) {
        // A cell must end with a paragraph (Word refuses a cell that ends with a table).
        pugi::xml_node lastElement;
        for (pugi::xml_node n = cell.last_child(); n; n = n.previous_sibling()) {
            if (n.type() == pugi::node_element) {
                lastElement = n;
                break;
            }
        }
        if (!lastElement || !isWord(lastElement, "p")) {
            cell.append_child(wordName("p").c_str());
        }
    }
}

} // namespace torl7
