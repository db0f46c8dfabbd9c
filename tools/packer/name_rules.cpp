#include "name_rules.h"

#include <cstdint>

#include "payload/payload_name.h"
#include "payload/staging_collision.h"
#include "payload/staging_path.h"
#include "platform/os_string.h"

namespace pelko::packer {

std::expected<void, std::string> check_name(std::string_view name) {
    const std::string shown(name);
    if (name.size() > 0xFFFF) {
        return std::unexpected("name too long for 16 bits (" + std::to_string(name.size()) +
                               " bytes): " + shown.substr(0, 60) + "...");
    }
    if (!is_valid_utf8(name)) return std::unexpected("name is not valid UTF-8: " + shown);
    // The installer accepts a NUL but cannot create such a file.
    if (name.find('\0') != std::string_view::npos) {
        return std::unexpected("name holds a NUL character");
    }
    if (!is_acceptable_payload_name(name)) {
        return std::unexpected("bad name " + shown +
                               " (the installer accepts only plain relative file paths without "
                               "\"..\", alternate streams (\":\") or device names such as CON)");
    }
    return {};
}

std::optional<std::string> staging_collision_text(std::span<const std::string_view> names) {
    const std::vector<StagingCollision> collisions = find_staging_collisions(names);
    if (collisions.empty()) return std::nullopt;
    std::string text;
    for (const StagingCollision& c : collisions) {
        const std::string name(names[c.entry]);
        const std::string staging = staging_path(OsString::from_utf8(name)).wtf8();
        text += text.empty() ? "bad name " : "; bad name ";
        text += name + ": it is written first as " + staging + ", which ";
        text += c.entry == c.target ? std::string("is the file itself")
                                    : "is the file " + std::string(names[c.target]);
    }
    return text + " (the installer writes each file beside its target with the extension "
                  "\"new\" and then moves it over the target)";
}

}  // namespace pelko::packer
