#pragma once

#include <filesystem>
#include <functional>

namespace pelko::packer {

// `pelko-pack extract`: writes every file of a payload or an installer (read as open_payload
// reads it) below `folder`, each put in place whole (OutputFile), telling `written` each path
// as it is written. Refused first, nothing written, when a name is none the installer and
// Windows take (check_name's text); throws Failure as open_payload does, or when a folder
// cannot be made.
void extract_payload(const std::filesystem::path& input, const std::filesystem::path& folder,
                     const std::function<void(const std::filesystem::path&)>& written);

}  // namespace pelko::packer
