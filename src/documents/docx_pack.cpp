// Build tool: packs the readable XML sources of a DOCX (a folder tree) into the package.
//   docx_pack OUT.docx SOURCE_DIR
// Every .xml and .rels source must be well-formed, or the build stops here rather than
// shipping a template that Word refuses. "[Content_Types].xml" goes first, the rest in name
// order, all with one fixed time stamp, so the same sources always give the same bytes.
#include "documents/docx_package.hpp"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::time_t stamp() {
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
        return static_cast<std::time_t>(std::strtoll(epoch, nullptr, 10));
    }
    return 1704067200; // 2024-01-01
}

bool wellFormed(const torl7::PackagePart& part) {
    const std::string_view name = part.name;
    if (!name.ends_with(".xml") && !name.ends_with(".rels")) {
        return true;
    }
    pugi::xml_document xml;
    const pugi::xml_parse_result parsed = xml.load_buffer(part.data.data(), part.data.size());
    if (!parsed) {
        std::cerr << "docx_pack: " << part.name << " at byte " << parsed.offset << ": "
                  << parsed.description() << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: docx_pack OUT.docx SOURCE_DIR\n";
        return 2;
    }
    const fs::path output = argv[1];
    const fs::path sources = argv[2];

    std::vector<torl7::PackagePart> parts;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(sources, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (!it->is_regular_file()) {
            continue;
        }
        std::ifstream in(it->path(), std::ios::binary);
        torl7::PackagePart part{fs::relative(it->path(), sources).generic_string(),
                                {std::istreambuf_iterator<char>(in), {}}};
        if (!in.good() && !in.eof()) {
            std::cerr << "docx_pack: cannot read " << it->path() << '\n';
            return 1;
        }
        if (!wellFormed(part)) {
            return 1;
        }
        parts.push_back(std::move(part));
    }
    if (ec) {
        std::cerr << "docx_pack: " << sources << ": " << ec.message() << '\n';
        return 1;
    }
    std::sort(parts.begin(), parts.end(), [](const auto& a, const auto& b) {
        const bool aTypes = a.name == "[Content_Types].xml";
        const bool bTypes = b.name == "[Content_Types].xml";
        return aTypes != bTypes ? aTypes : a.name < b.name;
    });

    torl7::Bytes archive;
    std::string error;
    if (!torl7::writePackage(parts, stamp(), archive, error)) {
        std::cerr << "docx_pack: " << error << '\n';
        return 1;
    }
    if (output.has_parent_path()) {
        fs::create_directories(output.parent_path(), ec);
    }
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(archive.data()),
              static_cast<std::streamsize>(archive.size()));
    out.close();
    if (!out) {
        std::cerr << "docx_pack: cannot write " << output << '\n';
        return 1;
    }
    return 0;
}
