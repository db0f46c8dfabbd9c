// pelko-pack: makes the installer's payload from a manifest, and lists, compares or extracts the
// payload of a payload file or of a built pelko-setup.exe. The commands live in the packer's
// library; this reads the command line, runs one and prints what it gives.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "align_section.h"
#include "extract.h"
#include "files.h"
#include "listing.h"
#include "pack_command.h"
#include "payload_file.h"
#include "prepare.h"
#include "shared/product_version.h"

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

void print_line(const std::string& line) { std::printf("%s\n", line.c_str()); }

PackOptions pack_options(const std::vector<std::string>& args) {
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
    return options;
}

int run(const std::string& command, const std::vector<std::string>& args) {
    const auto path = [&](std::size_t i) { return utf8_path(args[i]); };
    if (command == "pack" && args.size() >= 2) {
        print_line(pack_manifest(path(0), path(1), pack_options(args), stderr));
        return 0;
    }
    if (command == "list" && args.size() == 1) {
        std::fputs(listing_text(open_payload(path(0))).c_str(), stdout);
        return 0;
    }
    if (command == "list" && args.size() == 2 && args[0] == "--json") {
        std::fputs(listing_json(open_payload(path(1))).c_str(), stdout);
        return 0;
    }
    if (command == "diff" && args.size() == 2) {
        try {
            const std::string difference =
                difference_text(open_payload(path(0)), open_payload(path(1)));
            std::fputs(difference.c_str(), stdout);
            return difference.empty() ? 0 : 1;
        } catch (const Failure& failure) {
            print_failure(failure);
            return 2;  // as diff: trouble, not a difference
        }
    }
    if (command == "extract" && args.size() == 2) {
        extract_payload(path(0), path(1), [](const std::filesystem::path& written) {
            print_line(path_text(written));
        });
        return 0;
    }
    const bool unchecked = args.size() == 3 && args[2] == "--no-check";
    if (command == "prepare" && (args.size() == 2 || unchecked)) {
        print_line(prepare_payload(path(0), path(1), !unchecked));
        return 0;
    }
    if (command == "align-section" && args.size() == 1) {
        align_section(path(0));
        return 0;
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
        std::printf("pelko-pack %.*s\n", static_cast<int>(pelko::kProductVersion.size()),
                    pelko::kProductVersion.data());
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
