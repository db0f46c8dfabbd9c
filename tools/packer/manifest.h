#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <vector>

namespace pelko::packer {

// One line of a payload manifest: the name in the payload and the file it comes from.
struct ManifestLine {
    std::string name;
    std::filesystem::path source;
};

// Reads "name<TAB>source" lines in install order; empty lines are skipped, a CR before the line
// end is dropped. A relative source is looked up in each of `search` in turn (the first that
// holds it wins; the last one is used when none does). The error text on a malformed line.
std::expected<std::vector<ManifestLine>, std::string> read_manifest(
    const std::filesystem::path& manifest, const std::vector<std::filesystem::path>& search);

}  // namespace pelko::packer
