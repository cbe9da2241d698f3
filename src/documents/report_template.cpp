#include "documents/report_template.hpp"

#include <system_error>

#ifndef TORL7_DATA_DIR
#define TORL7_DATA_DIR "/usr/local/share/torl7"
#endif

namespace torl7 {

namespace fs = std::filesystem;

std::vector<fs::path> reportTemplateCandidates(const fs::path& executableDir) {
    const fs::path name{std::u8string(kReportTemplateName.begin(), kReportTemplateName.end())};
    return {
        executableDir / "docs" / name,
        executableDir / ".." / "docs" / name,
        executableDir / ".." / "share" / "torl7" / "docs" / name,
        fs::path(TORL7_DATA_DIR) / "docs" / name,
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

} // namespace torl7
