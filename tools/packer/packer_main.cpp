// pelko-pack: makes the installer's payload from a manifest, and lists, compares or extracts the
// payload of a payload file or of a built pelko-setup.exe.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "align_section.h"
#include "container_layout.h"
#include "name_rules.h"
#include "deflate_encoder.h"
#include "files.h"
#include "listing.h"
#include "manifest.h"
#include "pack.h"
#include "reference/inflate_payload.h"
#include "payload/unpack/payload_section.h"
#include "payload/inflate/payload_checksum.h"
#include "payload/unpack/unpack_payload.h"
#include "payload_file.h"
#include "progress.h"
#include "shared/product_version.h"
#include "stream_cuts.h"

namespace fs = std::filesystem;
using namespace pelko;
using namespace pelko::packer;

namespace {

constexpr const char* kUsage =
    "usage: pelko-pack pack MANIFEST OUTPUT [--from DIR]... [--section FILE] [--threads N]\n"
    "                       [--allow-empty]\n"
    "       pelko-pack list [--json] PAYLOAD_OR_EXE\n"
    "       pelko-pack diff OLD NEW         (each a payload or an installer; exit 1: they differ)\n"
    "       pelko-pack extract PAYLOAD_OR_EXE DIR\n"
    "       pelko-pack prepare PAYLOAD SECTION_OUTPUT [--no-check]\n"
    "       pelko-pack align-section EXE   (its payload section moved to a page of the file)\n"
    "       pelko-pack --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "pack reads each source once, front to back, and packs it as it was when the pack began: a\n"
    "source that is written to, grows, shrinks, is replaced or removed meanwhile fails the pack\n"
    "(exit 1, \"MANIFEST:LINE: FILE: changed while it was packed (...)\") and leaves no output.\n"
    "prepare, extract, list and diff read their input so too (\"changed while it was read\").\n";

struct Usage {};

// Each line of the failure's text, after the program's name.
void print_failure(const Failure& failure) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = failure.text.find('\n', start);
        const std::size_t count = end == std::string::npos ? end : end - start;
        std::fprintf(stderr, "pelko-pack: %s\n", failure.text.substr(start, count).c_str());
        if (end == std::string::npos) return;
        start = end + 1;
    }
}

// The installer's refusal of a sound stream, with the two files named when it is a clash of
// names (the installer's own text names only the first).
std::string explain_refusal(std::span<const std::byte> stored, const PayloadFailure& failure) {
    if (failure.kind != PayloadFailureKind::bad_name) return failure.text();
    const auto container = inflate_payload(stored);
    if (!container) return failure.text();
    const std::vector<std::string> names = container_names(*container);
    const std::vector<std::string_view> views(names.begin(), names.end());
    for (const NameProblem& problem : clash_problems(views, [](std::size_t) { return ""; })) {
        if (names[problem.entry] == failure.name) return problem.text;
    }
    return failure.text();
}

// A problem of a manifest's line, after the manifest and the line's number.
std::string problem_text(const fs::path& manifest, const ManifestProblem& problem) {
    if (problem.line == 0) return problem.text;
    return path_text(manifest) + ":" + std::to_string(problem.line) + ": " + problem.text;
}

struct PackOptions {
    std::vector<fs::path> search;
    std::optional<fs::path> section;  // where to write the payload section the build places
    unsigned threads = 0;  // 0: one per processor
    bool allow_empty = false;  // a manifest without files makes an empty payload
};

int pack(const fs::path& manifest, const fs::path& output, PackOptions options) {
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

    Progress progress(stderr, layout->size(), layout->entry_count());
    const auto packed =
        pack_to_files(*layout, output, options.section, options.threads, progress);
    if (!packed) throw Failure{problem_text(manifest, packed.error())};

    std::printf("%s: %zu entries, container %llu bytes, stored %llu bytes (%s, %zu part(s) on %u "
                "thread(s))\n",
                path_text(output).c_str(), lines.size(),
                static_cast<unsigned long long>(layout->size()),
                static_cast<unsigned long long>(packed->stored_size), best_encoder_name().c_str(),
                packed->index.pieces.size(), packed->threads);
    return 0;
}

// Makes ready a payload packed elsewhere for the build, which embeds it: checks it the way the
// installer will read it (unless `check` is off, for a payload meant to be refused at run time),
// then writes its payload section, with the index of its stream read off the stream itself
// (none when it cannot be indexed: the installer inflates it in one pass). Prints the pieces.
int prepare(const fs::path& input, const fs::path& section_output, bool check) {
    const WholeFile whole = read_whole(input, UINT64_MAX);
    const std::vector<std::byte>& stored = whole.bytes;
    if (check) {
        const auto read = unpack_payload(stored, heap_memory());
        if (!read) {
            if (read.error().is_inflate_failure()) {
                throw Failure{path_text(input) + ": not a raw DEFLATE stream that inflates (" +
                              read.error().text() + ")"};
            }
            throw Failure{path_text(input) + ": " + explain_refusal(stored, read.error())};
        }
        // What the installer reads but Windows cannot create.
        std::string text;
        for (const PayloadEntry& entry : *read) {
            if (auto name = check_windows_characters(entry.name()); !name) {
                if (!text.empty()) text += '\n';
                text += path_text(input) + ": " + name.error();
            }
        }
        if (!text.empty()) throw Failure{text};
    }
    const std::optional<StreamIndex> found = find_stream_index(stored);
    write_whole(section_output,
                encode_payload_section(stored, found ? encode_stream_index(*found)
                                                     : std::vector<std::byte>()),
                input, whole.stamp);
    std::printf("%s: %zu piece(s)\n", path_text(section_output).c_str(),
                found ? found->pieces.size() : 0);
    return 0;
}

int extract(const fs::path& input, const fs::path& folder) {
    const OpenedPayload opened = open_payload(input);
    for (const PayloadEntry& entry : opened.entries) {
        // The installer's rules, and what Windows can create: plain relative file paths only.
        if (auto name = check_name(entry.name()); !name) throw Failure{name.error()};
    }
    for (const PayloadEntry& entry : opened.entries) {
        std::string relative = entry.name();
        std::ranges::replace(relative, '\\', '/');
        const fs::path target = folder / utf8_path(relative);
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        if (ec) throw Failure{path_text(target.parent_path()) + ": " + ec.message()};
        write_whole(target, entry.data(), input, opened.stamp);
        std::printf("%s\n", path_text(target).c_str());
    }
    return 0;
}

int list(const std::vector<std::string>& args) {
    if (args.size() == 1) {
        print_listing(open_payload(utf8_path(args[0])), stdout);
        return 0;
    }
    if (args.size() != 2 || args[0] != "--json") throw Usage{};
    std::fputs(listing_json(open_payload(utf8_path(args[1]))).c_str(), stdout);
    return 0;
}

int diff(const fs::path& before, const fs::path& after) {
    try {
        return print_difference(open_payload(before), open_payload(after), stdout) ? 1 : 0;
    } catch (const Failure& failure) {
        print_failure(failure);
        return 2;  // as diff: trouble, not a difference
    }
}

int pack_command(const std::vector<std::string>& args) {
    if (args.size() < 2) throw Usage{};
    PackOptions options;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--allow-empty") {
            options.allow_empty = true;
            continue;
        }
        if (i + 1 >= args.size()) throw Usage{};
        const std::string& option = args[i];
        const std::string& value = args[++i];
        if (option == "--from") {
            options.search.push_back(utf8_path(value));
        } else if (option == "--section") {
            options.section = utf8_path(value);
        } else if (option == "--threads" && !value.empty() &&
                   value.find_first_not_of("0123456789") == std::string::npos && value.size() < 4) {
            options.threads = static_cast<unsigned>(std::stoul(value));
        } else {
            throw Usage{};
        }
    }
    return pack(utf8_path(args[0]), utf8_path(args[1]), std::move(options));
}

int run(const std::string& command, const std::vector<std::string>& args) {
    if (command == "pack") return pack_command(args);
    if (command == "list") return list(args);
    if (command == "diff" && args.size() == 2) return diff(utf8_path(args[0]), utf8_path(args[1]));
    if (command == "extract" && args.size() == 2) {
        return extract(utf8_path(args[0]), utf8_path(args[1]));
    }
    if (command == "align-section" && args.size() == 1) {
        align_section(utf8_path(args[0]));
        return 0;
    }
    const bool unchecked = args.size() == 3 && args[2] == "--no-check";
    if (command == "prepare" && (args.size() == 2 || unchecked)) {
        return prepare(utf8_path(args[0]), utf8_path(args[1]), args.size() == 2);
    }
    throw Usage{};
}

}  // namespace

int main(int argc, char** argv) {
    use_binary_output();
    const std::vector<std::string> args = command_line_utf8(argc, argv);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("pelko-pack %.*s\n", static_cast<int>(kProductVersion.size()),
                    kProductVersion.data());
        return 0;
    }
    try {
        if (args.empty()) throw Usage{};
        return run(args[0], std::vector<std::string>(args.begin() + 1, args.end()));
    } catch (const Usage&) {
        std::fputs(kUsage, stderr);
        return 2;
    } catch (const Failure& failure) {
        print_failure(failure);
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pelko-pack: %s\n", e.what());
        return 1;
    }
}
