#pragma once

#include <filesystem>

namespace pelko::packer {

// `pelko-pack align-section EXE`: moves the payload section of a built executable to a page of
// the file, in place (pe_image.h, page_align_payload_section), for the build to run after the
// link and before signing. An executable whose section is on a page already is left as it is.
// Throws Failure, "{exe}: {reason}", for an executable that cannot be aligned, and leaves it.
void align_section(const std::filesystem::path& exe);

}  // namespace pelko::packer
