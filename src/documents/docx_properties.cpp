// The package's core properties (docProps/core.xml): when the document was made. Word shows
// them under File > Info and LibreOffice under File > Properties; a report keeps the time it
// was written rather than the template's.
#include "documents/docx_document.hpp"
#include "documents/docx_xml.hpp"

#include <array>
#include <cstdio>

namespace torl7 {

using namespace docx;

namespace {

constexpr std::string_view kRootRelationships = "_rels/.rels";
constexpr std::string_view kCorePropertiesType =
    "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties";
constexpr const char* kTermsNamespace = "http://purl.org/dc/terms/";
constexpr const char* kInstanceNamespace = "http://www.w3.org/2001/XMLSchema-instance";

// The prefix bound to `uri` on `root` (with its colon), binding `fallback` when none is.
std::string prefixFor(pugi::xml_node root, const char* uri, const char* fallback) {
    for (const pugi::xml_attribute a : root.attributes()) {
        const std::string_view name = a.name();
        if (name.starts_with("xmlns:") && std::string_view(a.value()) == uri) {
            return std::string(name.substr(6)) + ":";
        }
    }
    root.append_attribute((std::string("xmlns:") + fallback).c_str()) = uri;
    return std::string(fallback) + ":";
}

} // namespace

std::string coreTimeText(std::time_t made) {
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &made);
#else
    gmtime_r(&made, &utc);
#endif
    std::array<char, 80> text{};
    std::snprintf(text.data(), text.size(), "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text.data();
}

void DocxDocument::setMadeAt(std::time_t made) {
    madeAt_ = made;
}

// Finds the core properties part through the package's relationships and sets its created
// and modified times. A package without that part is left as it is.
bool DocxDocument::stampCoreProperties() {
    if (!madeAt_) {
        return true;
    }
    std::string target;
    for (const PackagePart& part : parts_) {
        if (part.name != kRootRelationships) {
            continue;
        }
        pugi::xml_document rels;
        if (rels.load_buffer(part.data.data(), part.data.size())) {
            for (const pugi::xml_node r : rels.document_element().children()) {
                if (std::string_view(r.attribute("Type").value()) == kCorePropertiesType) {
                    target = r.attribute("Target").value();
                }
            }
        }
    }
    while (!target.empty() && target.front() == '/') {
        target.erase(0, 1);
    }
    for (PackagePart& part : parts_) {
        if (target.empty() || part.name != target) {
            continue;
        }
        pugi::xml_document core;
        if (!core.load_buffer(part.data.data(), part.data.size(), kParseOptions)) {
            return fail("Повреждены свойства документа: " + part.name);
        }
        pugi::xml_node root = core.document_element();
        const std::string terms = prefixFor(root, kTermsNamespace, "dcterms");
        const std::string instance = prefixFor(root, kInstanceNamespace, "xsi");
        const std::string when = coreTimeText(*madeAt_);
        for (const char* name : {"created", "modified"}) {
            const std::string element = terms + name;
            pugi::xml_node node = root.child(element.c_str());
            if (!node) {
                node = root.append_child(element.c_str());
            }
            node.remove_children();
            node.remove_attributes();
            node.append_attribute((instance + "type").c_str()) = (terms + "W3CDTF").c_str();
            node.text().set(when.c_str());
        }
        StringWriter writer;
        core.save(writer, "", pugi::format_raw, pugi::encoding_utf8);
        part.data = writer.take();
    }
    return true;
}

} // namespace torl7
