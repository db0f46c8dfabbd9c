#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pelko::packer {

// How `pelko-pack pack` packs a manifest.
struct PackOptions {
    std::vector<std::filesystem::path> search;  // --from: where relative sources are looked for
    std::optional<std::filesystem::path> section;  // where to write the payload section the build places
    unsigned threads = 0;  // 0: one per processor
    bool allow_empty = false;  // a manifest without files makes an empty payload
};

// `pelko-pack pack`: checks every line of the manifest first (its names, alone and together,
// and its sources) and throws Failure with every problem, a line each ("{manifest}:{line}:
// {problem}"), in the order of the lines; then packs the files into `output` (and the section),
// its progress shown on `terminal` when that is one. Gives the line that tells what was made:
// "{output}: {n} entries, container {n} bytes, stored {n} bytes ({encoder}, {n} part(s) on {n}
// thread(s))". The manifest's own folder is looked in after the --from folders.
std::string pack_manifest(const std::filesystem::path& manifest,
                          const std::filesystem::path& output, PackOptions options,
                          std::FILE* terminal);

}  // namespace pelko::packer
