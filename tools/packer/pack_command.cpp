#include "pack_command.h"

#include <algorithm>

#include "container_layout.h"
#include "deflate_encoder.h"
#include "files.h"
#include "manifest.h"
#include "name_rules.h"
#include "pack.h"
#include "progress.h"

namespace pelko::packer {
namespace fs = std::filesystem;
namespace {

// A problem of a manifest's line, after the manifest and the line's number.
std::string problem_text(const fs::path& manifest, const ManifestProblem& problem) {
    if (problem.line == 0) return problem.text;
    return path_text(manifest) + ":" + std::to_string(problem.line) + ": " + problem.text;
}

}  // namespace

std::string pack_manifest(const fs::path& manifest, const fs::path& output, PackOptions options,
                          std::FILE* terminal) {
    std::vector<fs::path>& search = options.search;
    search.insert(search.begin(), manifest.parent_path().empty() ? fs::path(".")
                                                                  : manifest.parent_path());
    // The manifest's own folder is tried last unless --from folders are given.
    std::rotate(search.begin(), search.begin() + 1, search.end());
    auto read = read_manifest(manifest, search);
    if (!read) throw Failure{read.error()};
    const std::vector<ManifestLine>& lines = read->lines;

    // Every line is checked, and every problem reported, before anything is compressed.
    std::vector<ManifestProblem> problems = std::move(read->problems);
    std::vector<std::string_view> names;  // those that pass on their own, with their lines
    std::vector<int> name_lines;
    for (const ManifestLine& line : lines) {
        if (auto name = check_manifest_name(line.name); !name) {
            problems.push_back({line.line, name.error()});
        } else {
            names.push_back(line.name);
            name_lines.push_back(line.line);
        }
    }
    const auto line_of = [&](std::size_t i) {
        return " (line " + std::to_string(name_lines[i]) + ")";
    };
    for (const NameProblem& problem : same_file_problems(names, line_of)) {
        problems.push_back({name_lines[problem.entry], problem.text});
    }
    for (const NameProblem& problem : clash_problems(names, line_of)) {
        problems.push_back({name_lines[problem.entry], problem.text});
    }
    auto layout = ContainerLayout::of(lines);
    if (!layout) problems.insert(problems.end(), layout.error().begin(), layout.error().end());
    // A script that lost its file list should not ship nothing.
    if (lines.empty() && problems.empty() && !options.allow_empty) {
        throw Failure{path_text(manifest) +
                      ": no files (give --allow-empty to pack an empty payload)"};
    }
    if (!problems.empty()) {
        std::ranges::stable_sort(problems, {}, &ManifestProblem::line);
        std::string text;
        for (const ManifestProblem& problem : problems) {
            if (!text.empty()) text += '\n';
            text += problem_text(manifest, problem);
        }
        throw Failure{text};
    }

    Progress progress(terminal, layout->size(), layout->entry_count());
    const auto packed =
        pack_to_files(*layout, output, options.section, options.threads, progress);
    if (!packed) throw Failure{problem_text(manifest, packed.error())};

    char summary[512];
    std::snprintf(summary, sizeof summary,
                  ": %zu entries, container %llu bytes, stored %llu bytes (%s, %zu part(s) on %u "
                  "thread(s))",
                  lines.size(), static_cast<unsigned long long>(layout->size()),
                  static_cast<unsigned long long>(packed->stored_size),
                  best_encoder_name().c_str(), packed->index.pieces.size(), packed->threads);
    return path_text(output) + summary;
}

}  // namespace pelko::packer
