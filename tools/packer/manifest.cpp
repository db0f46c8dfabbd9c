#include "manifest.h"

#include "files.h"

#include <fstream>
#include <sstream>

namespace pelko::packer {

std::expected<std::vector<ManifestLine>, std::string> read_manifest(
    const std::filesystem::path& manifest, const std::vector<std::filesystem::path>& search) {
    std::ifstream in(manifest, std::ios::binary);
    if (!in) return std::unexpected(path_text(manifest) + ": cannot read the manifest");
    std::vector<ManifestLine> lines;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || line.find('\t', tab + 1) != std::string::npos ||
            tab + 1 == line.size()) {
            std::ostringstream text;
            text << path_text(manifest) << ":" << number << ": expected \"name<TAB>source file\"";
            return std::unexpected(text.str());
        }
        std::filesystem::path source = utf8_path(line.substr(tab + 1));
        if (source.is_relative() && !search.empty()) {
            std::filesystem::path found = search.back() / source;
            for (const auto& dir : search) {
                if (std::filesystem::exists(dir / source)) {
                    found = dir / source;
                    break;
                }
            }
            source = found;
        }
        lines.push_back(ManifestLine{line.substr(0, tab), source});
    }
    if (in.bad()) return std::unexpected(path_text(manifest) + ": cannot read the manifest");
    return lines;
}

}  // namespace pelko::packer
