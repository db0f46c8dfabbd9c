#include "container_writer.h"

#include <cstdint>

#include "payload/payload_name.h"
#include "payload/staging_collision.h"
#include "payload/staging_path.h"
#include "platform/os_string.h"

namespace pelko::packer {
namespace {

void put_le(std::vector<std::byte>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::byte>((value >> (8 * i)) & 0xFF));
}

}  // namespace

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

std::expected<void, std::string> append_entry(std::vector<std::byte>& container,
                                              std::string_view name, std::string_view data) {
    if (auto checked = check_name(name); !checked) return checked;
    if (data.size() > 0xFFFFFFFFull) {
        return std::unexpected(std::string(name) + ": file over 4 GiB (" +
                               std::to_string(data.size()) + " bytes)");
    }
    put_le(container, name.size(), 2);
    for (const char c : name) container.push_back(static_cast<std::byte>(c));
    put_le(container, data.size(), 4);
    const auto* bytes = reinterpret_cast<const std::byte*>(data.data());
    container.insert(container.end(), bytes, bytes + data.size());
    return {};
}

}  // namespace pelko::packer
