#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <vector>

namespace pelko::packer {

// One line of a payload manifest: the name in the payload, the file it comes from, and the
// line's number (from 1).
struct ManifestLine {
    std::string name;
    std::filesystem::path source;
    int line = 0;
};

// What is wrong with a line of a manifest.
struct ManifestProblem {
    int line = 0;
    std::string text;
};

// A manifest read: its well-formed lines, and a problem for each malformed one.
struct Manifest {
    std::vector<ManifestLine> lines;
    std::vector<ManifestProblem> problems;
};

// Reads "name<TAB>source" lines in install order; a UTF-8 byte-order mark at the start is
// dropped, empty lines are skipped, a CR before the line end is dropped. A relative source is
// looked up in each of `search` in turn (the first that holds it wins; the last one is used when
// none does). The reason when the manifest cannot be read.
std::expected<Manifest, std::string> read_manifest(
    const std::filesystem::path& manifest, const std::vector<std::filesystem::path>& search);

}  // namespace pelko::packer
