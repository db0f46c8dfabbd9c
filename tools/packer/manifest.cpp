#include "manifest.h"

#include <fstream>

#include "files.h"

namespace pelko::packer {

std::expected<Manifest, std::string> read_manifest(
    const std::filesystem::path& manifest, const std::vector<std::filesystem::path>& search) {
    const auto unreadable = [&] {
        return std::unexpected(path_text(manifest) + ": cannot read the manifest");
    };
    std::ifstream in(manifest, std::ios::binary);
    if (!in) return unreadable();
    Manifest read;
    std::vector<ManifestLine>& lines = read.lines;
    std::vector<ManifestProblem>& problems = read.problems;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        // Editors on Windows often save UTF-8 with a byte-order mark: it is no part of a name.
        if (number == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || line.find('\t', tab + 1) != std::string::npos ||
            tab + 1 == line.size()) {
            problems.push_back({number, "expected \"name<TAB>source file\""});
            continue;
        }
        std::filesystem::path source = utf8_path(line.substr(tab + 1));
        if (source.is_relative() && !search.empty()) {
            std::filesystem::path found = search.back() / source;
            for (const auto& dir : search) {
                std::error_code ec;
                if (std::filesystem::exists(dir / source, ec)) {
                    found = dir / source;
                    break;
                }
            }
            source = found;
        }
        lines.push_back(ManifestLine{line.substr(0, tab), source, number});
    }
    if (in.bad()) return unreadable();
    return read;
}

}  // namespace pelko::packer
