#include "documents/docx_document.hpp"
#include "documents/docx_xml.hpp"
#include "documents/file_output.hpp"
#include "documents/recycled_memory.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace torl7 {
using namespace docx;

namespace {

// Hands what pugixml writes to the part being packed.
class PartXmlWriter : public pugi::xml_writer {
public:
    explicit PartXmlWriter(PackageWriter& package) : package_(package) {}
    void write(const void* data, size_t size) override {
        package_.write(std::string_view(static_cast<const char*>(data), size));
    }

private:
    PackageWriter& package_;
};

// Before main, so that every tree of the process lives in memory the next document reuses.
[[maybe_unused]] const bool xmlMemoryRecycled = installRecycledXmlMemory();
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
    rowPatterns_.clear();
    patternShelf_ = {};
    madeAt_.reset();
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
    // Done once here: typing adds runs to paragraphs and new rows keep a paragraph in every
    // cell, so no edit can leave a cell without its closing paragraph.
    ensureCellParagraphs();
    // Bookmarks stay where they are while typing (added rows carry none), so they are looked
    // up once here rather than by a walk through the whole, growing, document on every jump.
    bookmarks_.clear();
    const std::string startName = wordName("bookmarkStart");
    const std::string nameAttribute = wordName("name");
    forEachDescendant(body_, [&](pugi::xml_node n) {
        if (startName == n.name()) {
            bookmarks_.emplace_back(n.attribute(nameAttribute.c_str()).value(), n);
        }
    });
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
        pugi::xml_node start;
        for (const auto& [bookmark, node] : bookmarks_) {
            if (bookmark == name) {
                start = node;
                break;
            }
        }
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

bool DocxDocument::typeSymbol(std::string_view font, std::string_view hexCode) {
    return guarded(error_, [&] {
        if (!isOpen() || !paragraph_) {
            return fail("Нет места для ввода символа: документ не открыт или пуст.");
        }
        insertRun();
        pugi::xml_node symbol = after_.append_child(wordName("sym").c_str());
        symbol.append_attribute(wordName("font").c_str()) = std::string(font).c_str();
        symbol.append_attribute(wordName("char").c_str()) = std::string(hexCode).c_str();
        return true;
    });
}

bool DocxDocument::serialize(Bytes& archive) {
    if (!isOpen()) {
        return fail("Документ не открыт.");
    }
    if (!stampCoreProperties()) {
        return false;
    }
    if (patternShelf_) {
        // Not part of the document; made again if a row is added after this.
        xml_.remove_child(patternShelf_);
        patternShelf_ = {};
        rowPatterns_.clear();
    }
    // The document text goes from the XML writer straight into deflate, piece by piece: it is
    // the one large part, and held whole it was a quarter of a megabyte copied twice.
    PackageWriter package(std::nullopt);
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        if (i != documentPart_) {
            package.addPart(parts_[i].name, parts_[i].data);
        } else if (package.beginPart(parts_[i].name)) {
            PartXmlWriter writer(package);
            xml_.save(writer, "", pugi::format_raw, pugi::encoding_utf8);
            package.endPart();
        }
    }
    return package.finish(archive) || fail(package.error());
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
        Bytes archive;
        if (!serialize(archive)) {
            return false;
        }
        std::string message;
        if (!writeFileWhole(
                utf8Path,
                std::string_view(reinterpret_cast<const char*>(archive.data()), archive.size()),
                message)) {
            return fail(message);
        }
        error_.clear();
        return true;
    });
}

} // namespace torl7
