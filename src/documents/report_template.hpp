// Where the report template is found: in the installed data folder, beside the program (an
// unpacked copy, as on Windows) or in the build tree. Pure file-system lookup, no Qt.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torl7 {

inline constexpr std::string_view kReportTemplateName = "prot-torl.docx";

// The places tried, in order: <exe dir>/../share/torl7/docs (the installed tree, wherever
// its prefix is), <exe dir>/docs (beside the program) and <exe dir>/../docs (the build tree,
// where the build packs the template from docs/template).
std::vector<std::filesystem::path>
reportTemplateCandidates(const std::filesystem::path& executableDir);

// The first candidate that is a regular file, or nothing.
std::optional<std::filesystem::path> findReportTemplate(const std::filesystem::path& executableDir);

// A path as UTF-8, the form DocxDocument takes; path::string() would give the ANSI code page
// on Windows and lose a Cyrillic folder name.
std::string utf8Path(const std::filesystem::path& path);

} // namespace torl7
