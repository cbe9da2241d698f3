// Where the report template is found: beside the program (a build tree, or an unpacked
// copy) or in the installed data directory. Pure file-system lookup, no Qt.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace torl7 {

inline constexpr std::string_view kReportTemplateName = "prot-torl.docx";

// The places tried, in order: <exe dir>/docs, <exe dir>/../docs,
// <exe dir>/../share/torl7/docs (an installed tree moved as a whole) and the data directory
// the program was installed into.
std::vector<std::filesystem::path>
reportTemplateCandidates(const std::filesystem::path& executableDir);

// The first candidate that is a regular file, or nothing.
std::optional<std::filesystem::path> findReportTemplate(const std::filesystem::path& executableDir);

} // namespace torl7
