#include "platform/command_line_query.h"

#include <cstring>

#include "platform/os_string.h"

namespace pelko {

std::optional<std::size_t> command_line_buffer_size(std::uint32_t reported_length) {
    if (reported_length < kCommandLineMinBytes || reported_length >= kCommandLineMaxBytes) {
        return std::nullopt;
    }
    return (static_cast<std::size_t>(reported_length) + 7) / 8 * 8;
}

std::optional<std::string> command_line_from_buffer(std::span<const std::byte> buffer) {
    CountedUtf16 descriptor;
    if (buffer.size() < sizeof descriptor) return std::nullopt;
    std::memcpy(&descriptor, buffer.data(), sizeof descriptor);

    // Compared as addresses: the pointer came from another party and may point anywhere.
    const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
    const std::uintptr_t end = begin + buffer.size();
    const auto at = reinterpret_cast<std::uintptr_t>(descriptor.characters);
    const std::size_t bytes = descriptor.length & ~std::size_t{1};
    if (at < begin || at > end || bytes > end - at) return std::nullopt;

    std::u16string units(bytes / 2, u'\0');
    if (bytes != 0) std::memcpy(units.data(), buffer.data() + (at - begin), bytes);
    return utf16_to_text(units);
}

}  // namespace pelko
