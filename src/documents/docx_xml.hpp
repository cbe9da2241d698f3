// What the DOCX engine's two halves (package and text, tables) share: the XML names and
// options, UTF-8 and XML character checks, walking the tree. Internal to the engine.
#pragma once

#include <pugixml.hpp>

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace torl7::docx {

namespace fs = std::filesystem;

inline constexpr std::string_view kDocumentPart = "word/document.xml";
inline constexpr std::string_view kWordNamespace =
    "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
inline constexpr std::string_view kStrictWordNamespace =
    "http://purl.oclc.org/ooxml/wordprocessingml/main";

// Parsing keeps blank-only text (a run holding only blanks is content) and the declaration,
// which Word expects to find again with its standalone flag.
inline constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_declaration;

// Catches what the standard library may throw (allocation, file-system errors) so that the
// public operations only ever answer with false and a message.
template <typename Operation> inline bool guarded(std::string& error, Operation&& operation) {
    try {
        return operation();
    } catch (const std::exception& e) {
        error = std::string("Ошибка при работе с документом: ") + e.what();
    } catch (...) {
        error = "Ошибка при работе с документом.";
    }
    return false;
}

inline fs::path pathFromUtf8(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Decodes one UTF-8 character starting at `i`. Returns its code point and length, or -1 and
// the number of bytes that form the broken sequence (at least 1).
inline std::pair<long, std::size_t> decodeUtf8(std::string_view text, std::size_t i) {
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

inline bool isXmlCharacter(long codePoint) {
    if (codePoint < 0x20) {
        return codePoint == 0x09 || codePoint == 0x0A || codePoint == 0x0D;
    }
    return codePoint != 0xFFFE && codePoint != 0xFFFF;
}

inline bool needsPreserve(std::string_view text) {
    return !text.empty() &&
           (text.front() == ' ' || text.back() == ' ' || text.find("  ") != std::string_view::npos);
}

// Collects what pugixml writes in the pieces it hands over and joins them once at the end:
// appending to one growing string copied a large document over and over as it doubled.
class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override {
        pieces_.emplace_back(static_cast<const char*>(data), size);
        total_ += size;
    }
    std::string take() {
        std::string text;
        text.reserve(total_);
        for (const std::string& piece : pieces_) {
            text += piece;
        }
        pieces_.clear();
        total_ = 0;
        return text;
    }

private:
    std::vector<std::string> pieces_;
    std::size_t total_ = 0;
};

inline pugi::xml_node nextInDocumentOrder(pugi::xml_node node) {
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
template <typename Visit> inline void forEachDescendant(pugi::xml_node root, Visit&& visit) {
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

inline bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

} // namespace torl7::docx
