#include "align_section.h"

#include <algorithm>
#include <cstdint>

#include "files.h"
#include "pe_image.h"

namespace pelko::packer {

void align_section(const std::filesystem::path& exe) {
    const WholeFile whole = read_whole(exe, UINT32_MAX);
    const auto aligned = page_align_payload_section(whole.bytes);
    if (!aligned) throw Failure{path_text(exe) + ": " + aligned.error()};
    if (std::ranges::equal(*aligned, whole.bytes)) return;
    write_whole(exe, *aligned, exe, whole.stamp);
}

}  // namespace pelko::packer
