#include "documents/docx_document.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace torl7 {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDocumentPart = "word/document.xml";
constexpr std::string_view kWordNamespace =
    "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr std::string_view kStrictWordNamespace =
    "http://purl.oclc.org/ooxml/wordprocessingml/main";

// Parsing keeps blank-only text (a run holding only blanks is content) and the declaration,
// which Word expects to find again with its standalone flag.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_declaration;

// Catches what the standard library may throw (allocation, file-system errors) so that the
// public operations only ever answer with false and a message.
template <typename Operation> bool guarded(std::string& error, Operation&& operation) {
    try {
        return operation();
    } catch (const std::exception& e) {
        error = std::string("Ошибка при работе с документом: ") + e.what();
    } catch (...) {
        error = "Ошибка при работе с документом.";
    }
    return false;
}

fs::path pathFromUtf8(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Decodes one UTF-8 character starting at `i`. Returns its code point and length, or -1 and
// the number of bytes that form the broken sequence (at least 1).
std::pair<long, std::size_t> decodeUtf8(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t length = 0;
    long codePoint = 0;
    unsigned char low = 0x80; // allowed range of the second byte, for overlongs and surrogates
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {-1, 1};
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (i + k >= text.size()) {
            return {-1, k};
        }
        const unsigned char next = byte(i + k);
        const unsigned char min = k == 1 ? low : 0x80;
        const unsigned char max = k == 1 ? high : 0xBF;
        if (next < min || next > max) {
            return {-1, k};
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    return {codePoint, length};
}

bool isXmlCharacter(long codePoint) {
    if (codePoint < 0x20) {
        return codePoint == 0x09 || codePoint == 0x0A || codePoint == 0x0D;
    }
    return codePoint != 0xFFFE && codePoint != 0xFFFF;
}

bool needsPreserve(std::string_view text) {
    return !text.empty() &&
           (text.front() == ' ' || text.back() == ' ' || text.find("  ") != std::string_view::npos);
}

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};

pugi::xml_node nextInDocumentOrder(pugi::xml_node node) {
    if (pugi::xml_node child = node.first_child()) {
        return child;
    }
    while (node) {
        if (pugi::xml_node sibling = node.next_sibling()) {
            return sibling;
        }
        node = node.parent();
    }
    return {};
}

// Calls `visit` for every node below `root` in document order; `visit` must not remove nodes.
template <typename Visit> void forEachDescendant(pugi::xml_node root, Visit&& visit) {
    pugi::xml_node n = root.first_child();
    while (n) {
        pugi::xml_node next = n.first_child();
        for (pugi::xml_node up = n; !next && up && up != root; up = up.parent()) {
            next = up.next_sibling();
        }
        visit(n);
        n = next;
    }
}

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

} // namespace

bool DocxDocument::fail(std::string message) {
    error_ = std::move(message);
    return false;
}

std::string DocxDocument::wordName(std::string_view localName) const {
    std::string name = prefix_;
    name += localName;
    return name;
}

bool DocxDocument::isWord(pugi::xml_node node, std::string_view localName) const {
    const std::string_view name = node.name();
    return node.type() == pugi::node_element && name.size() == prefix_.size() + localName.size() &&
           name.starts_with(prefix_) && name.ends_with(localName);
}

pugi::xml_node DocxDocument::ancestor(pugi::xml_node node, std::string_view localName) const {
    for (pugi::xml_node n = node; n; n = n.parent()) {
        if (isWord(n, localName)) {
            return n;
        }
    }
    return {};
}

pugi::xml_node DocxDocument::nextSiblingElement(pugi::xml_node node,
                                                std::string_view localName) const {
    for (pugi::xml_node n = node.next_sibling(); n; n = n.next_sibling()) {
        if (isWord(n, localName)) {
            return n;
        }
    }
    return {};
}

pugi::xml_node DocxDocument::firstChildElement(pugi::xml_node node,
                                               std::string_view localName) const {
    for (pugi::xml_node n = node.first_child(); n; n = n.next_sibling()) {
        if (isWord(n, localName)) {
            return n;
        }
    }
    return {};
}

bool DocxDocument::openFile(const std::string& utf8Path) {
    return guarded(error_, [&] {
        std::ifstream in(pathFromUtf8(utf8Path), std::ios::binary);
        if (!in) {
            return fail("Не удалось открыть файл " + utf8Path);
        }
        const Bytes archive{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad()) {
            return fail("Не удалось прочитать файл " + utf8Path);
        }
        return openBytes(archive);
    });
}

bool DocxDocument::openBytes(ByteSpan archive) {
    return guarded(error_, [&] {
        std::vector<PackagePart> parts;
        std::string message;
        if (!readPackage(archive, parts, message)) {
            return fail(message);
        }
        return load(std::move(parts));
    });
}

bool DocxDocument::load(std::vector<PackagePart> parts) {
    body_ = {};
    paragraph_ = container_ = after_ = {};
    xml_.reset();
    std::size_t index = 0;
    while (index < parts.size() && parts[index].name != kDocumentPart) {
        ++index;
    }
    if (index == parts.size()) {
        return fail("В документе нет основной части " + std::string(kDocumentPart));
    }
    const std::string& text = parts[index].data;
    const pugi::xml_parse_result parsed =
        xml_.load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
    if (!parsed) {
        return fail("Повреждена разметка документа: " + std::string(parsed.description()));
    }

    const pugi::xml_node root = xml_.document_element();
    prefix_.clear();
    bool bound = false;
    for (const pugi::xml_attribute attribute : root.attributes()) {
        const std::string_view name = attribute.name();
        const std::string_view value = attribute.value();
        if (value != kWordNamespace && value != kStrictWordNamespace) {
            continue;
        }
        if (name == "xmlns") {
            bound = true;
        } else if (name.starts_with("xmlns:")) {
            prefix_ = std::string(name.substr(6)) + ":";
            bound = true;
        }
        if (bound) {
            break;
        }
    }
    if (!bound || !isWord(root, "document")) {
        return fail("Файл не является текстовым документом DOCX.");
    }
    const pugi::xml_node body = firstChildElement(root, "body");
    if (!body) {
        return fail("В документе нет тела (body).");
    }

    parts_ = std::move(parts);
    documentPart_ = index;
    parts_[documentPart_].data.clear(); // the tree is the document from now on
    body_ = body;
    // Like a freshly opened document: the insertion point at the start of the first paragraph.
    for (pugi::xml_node n = body_; n; n = nextInDocumentOrder(n)) {
        if (isWord(n, "p")) {
            paragraph_ = container_ = n;
            break;
        }
    }
    error_.clear();
    return true;
}

bool DocxDocument::goToBookmark(std::string_view name) {
    return guarded(error_, [&] {
        if (!isOpen()) {
            return fail("Документ не открыт.");
        }
        const std::string startName = wordName("bookmarkStart");
        const std::string nameAttribute = wordName("name");
        const pugi::xml_node start = body_.find_node([&](pugi::xml_node node) {
            return startName == node.name() &&
                   name == node.attribute(nameAttribute.c_str()).value();
        });
        if (!start) {
            return fail("В шаблоне нет закладки \"" + std::string(name) + "\".");
        }
        if (const pugi::xml_node paragraph = ancestor(start, "p")) {
            paragraph_ = paragraph;
            container_ = start.parent();
            after_ = start;
            return true;
        }
        for (pugi::xml_node n = nextInDocumentOrder(start); n; n = nextInDocumentOrder(n)) {
            if (isWord(n, "p")) {
                paragraph_ = container_ = n;
                after_ = {};
                return true;
            }
        }
        return fail("После закладки \"" + std::string(name) + "\" нет абзаца для ввода.");
    });
}

pugi::xml_node DocxDocument::insertRun() {
    const std::string runName = wordName("r");
    pugi::xml_node run;
    if (after_) {
        run = container_.insert_child_after(runName.c_str(), after_);
    } else if (const pugi::xml_node properties = firstChildElement(container_, "pPr")) {
        run = container_.insert_child_after(runName.c_str(), properties);
    } else {
        run = container_.prepend_child(runName.c_str());
    }

    // The run takes the formatting of the nearest run before it in the same container, or,
    // in a paragraph with no run before the insertion point, that of the paragraph mark.
    pugi::xml_node source;
    for (pugi::xml_node n = run.previous_sibling(); n; n = n.previous_sibling()) {
        if (isWord(n, "r")) {
            source = firstChildElement(n, "rPr");
            break;
        }
    }
    bool fromMark = false;
    if (!source && !run.previous_sibling(runName.c_str())) {
        if (const pugi::xml_node properties = firstChildElement(paragraph_, "pPr")) {
            source = firstChildElement(properties, "rPr");
            fromMark = true;
        }
    }
    if (source) {
        pugi::xml_node copy = run.append_copy(source);
        if (fromMark) {
            // Revision marks of the paragraph mark do not belong in a run's properties.
            std::vector<pugi::xml_node> marks;
            for (pugi::xml_node n : copy.children()) {
                if (isWord(n, "ins") || isWord(n, "del") || isWord(n, "moveFrom") ||
                    isWord(n, "moveTo") || isWord(n, "rPrChange")) {
                    marks.push_back(n);
                }
            }
            for (pugi::xml_node n : marks) {
                copy.remove_child(n);
            }
        }
    }
    after_ = run;
    return run;
}

void DocxDocument::appendTextRun(std::string_view text) {
    if (text.empty()) {
        return;
    }
    pugi::xml_node element = after_.append_child(wordName("t").c_str());
    if (needsPreserve(text)) {
        element.append_attribute("xml:space") = "preserve";
    }
    element.append_child(pugi::node_pcdata).set_value(std::string(text).c_str());
}

void DocxDocument::appendRunElement(std::string_view localName) {
    after_.append_child(wordName(localName).c_str());
}

bool DocxDocument::typeText(std::string_view utf8) {
    return guarded(error_, [&] {
        if (!isOpen() || !paragraph_) {
            return fail("Нет места для ввода текста: документ не открыт или пуст.");
        }
        if (utf8.empty()) {
            return true;
        }
        insertRun();
        std::string segment;
        for (std::size_t i = 0; i < utf8.size();) {
            const auto [codePoint, length] = decodeUtf8(utf8, i);
            if (codePoint == '\t' || codePoint == '\n' || codePoint == '\r') {
                appendTextRun(segment);
                segment.clear();
                appendRunElement(codePoint == '\t' ? "tab" : "br");
                if (codePoint == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
                    ++i; // CR LF is one line break
                }
            } else if (codePoint < 0 || !isXmlCharacter(codePoint)) {
                segment += kReplacementCharacter;
            } else {
                segment.append(utf8.substr(i, length));
            }
            i += length;
        }
        appendTextRun(segment);
        return true;
    });
}

void DocxDocument::placeAtCellStart(pugi::xml_node cell) {
    pugi::xml_node paragraph = firstChildElement(cell, "p");
    if (!paragraph) {
        paragraph = cell.append_child(wordName("p").c_str());
    }
    paragraph_ = container_ = paragraph;
    after_ = {};
}

pugi::xml_node DocxDocument::appendRowLike(pugi::xml_node row) {
    pugi::xml_node copy = row.parent().insert_copy_after(row, row);

    if (pugi::xml_node properties = firstChildElement(copy, "trPr")) {
        while (const pugi::xml_node header = firstChildElement(properties, "tblHeader")) {
            properties.remove_child(header);
        }
    }
    // Each cell keeps its properties and one empty paragraph with its paragraph mark. The
    // nodes collected here are disjoint subtrees, so removing one never frees another.
    std::vector<pugi::xml_node> doomed;
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
    return copy;
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

bool DocxDocument::serialize(Bytes& archive) {
    if (!isOpen()) {
        return fail("Документ не открыт.");
    }
    ensureCellParagraphs();
    StringWriter writer;
    xml_.save(writer, "", pugi::format_raw, pugi::encoding_utf8);
    parts_[documentPart_].data = std::move(writer.text);
    std::string message;
    const bool packed = writePackage(parts_, std::nullopt, archive, message);
    parts_[documentPart_].data.clear();
    return packed || fail(message);
}

Bytes DocxDocument::bytes() {
    Bytes archive;
    if (!guarded(error_, [&] { return serialize(archive); })) {
        archive.clear();
    }
    return archive;
}

bool DocxDocument::saveAs(const std::string& utf8Path) {
    return guarded(error_, [&] {
        const fs::path target = pathFromUtf8(utf8Path);
        if (utf8Path.empty() || !target.has_filename()) {
            return fail("Не задано имя файла.");
        }
        const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) {
            return fail("Папка " + utf8FromPath(folder) + " не существует.");
        }
        if (fs::is_directory(target, ec)) {
            return fail("Не удалось сохранить: " + utf8Path + " - это папка.");
        }
        Bytes archive;
        if (!serialize(archive)) {
            return false;
        }

        // The temporary name sits in the target folder, so the rename never crosses file
        // systems and either leaves the old file or puts the whole new one in its place.
        std::random_device random;
        fs::path temporary;
        for (int attempt = 0; attempt < 16; ++attempt) {
            const fs::path candidate =
                folder / (u8"." + target.filename().u8string() + u8"." +
                          fs::path(std::to_string(random())).u8string() + u8".tmp");
            if (!fs::exists(candidate, ec)) {
                temporary = candidate;
                break;
            }
        }
        if (temporary.empty()) {
            return fail("Не удалось создать временный файл в папке " + utf8FromPath(folder));
        }
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            if (out) {
                out.write(reinterpret_cast<const char*>(archive.data()),
                          static_cast<std::streamsize>(archive.size()));
                out.close();
            }
            if (!out) {
                fs::remove(temporary, ec);
                return fail("Не удалось записать файл в папку " + utf8FromPath(folder));
            }
        }
        fs::rename(temporary, target, ec);
        if (ec) {
            const std::string reason = ec.message();
            fs::remove(temporary, ec);
            return fail("Не удалось сохранить " + utf8Path + ": " + reason);
        }
        error_.clear();
        return true;
    });
}

} // namespace torl7
