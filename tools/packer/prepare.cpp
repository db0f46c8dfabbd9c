#include "prepare.h"

#include <optional>
#include <span>
#include <vector>

#include "files.h"
#include "name_rules.h"
#include "payload/inflate/stream_index.h"
#include "payload/unpack/payload_section.h"
#include "payload/unpack/unpack_payload.h"
#include "payload_file.h"
#include "reference/inflate_payload.h"
#include "stream_cuts.h"

namespace pelko::packer {
namespace {

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

}  // namespace

std::string prepare_payload(const std::filesystem::path& input,
                            const std::filesystem::path& section_output, bool check) {
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
    return path_text(section_output) + ": " + std::to_string(found ? found->pieces.size() : 0) +
           " piece(s)";
}

}  // namespace pelko::packer
