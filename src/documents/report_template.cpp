#include "documents/report_template.hpp"

#include <system_error>

namespace torl7 {

namespace fs = std::filesystem;

std::vector<fs::path> reportTemplateCandidates(const fs::path& executableDir) {
    const fs::path name{std::u8string(kReportTemplateName.begin(), kReportTemplateName.end())};
    return {
        executableDir / ".." / "share" / "torl7" / "docs" / name,
        executableDir / "docs" / name,
        executableDir / ".." / "docs" / name,
    };
}

std::optional<fs::path> findReportTemplate(const fs::path& executableDir) {
    for (const fs::path& candidate : reportTemplateCandidates(executableDir)) {
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) {
            return candidate.lexically_normal();
        }
    }
    return std::nullopt;
}

std::string utf8Path(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace torl7
