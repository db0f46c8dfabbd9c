#include "payload/read_payload.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "payload/payload_name.h"
#include "platform/os_string.h"
#include "platform/text_format.h"

namespace pelko {
namespace {

constexpr std::string_view kCutShort = "payload cut short";

// Where one checked entry lies in the container.
struct EntrySpan {
    std::uint64_t name_at, name_length, data_at, data_length;
};

std::uint64_t read_le(std::span<const std::byte> bytes, std::uint64_t at, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<std::uint8_t>(bytes[at + static_cast<std::uint64_t>(i)]);
    }
    return value;
}

}  // namespace

StepResult<std::vector<PayloadEntry>> read_payload(std::span<const std::byte> container) {
    const std::uint64_t length = container.size();
    std::vector<EntrySpan> spans;
    std::uint64_t total_data = 0;

    // Check everything first, so a fault anywhere returns no entry at all.
    std::uint64_t p = 0;
    while (p < length) {
        if (p + 2 > length) return fail(std::string(kCutShort));
        const std::uint64_t n = read_le(container, p, 2);
        if (p + 2 + n > length) return fail(std::string(kCutShort));
        const std::string_view name(reinterpret_cast<const char*>(container.data() + p + 2), n);
        if (!is_valid_utf8(name)) return fail("name");
        if (p + 2 + n + 4 > length) return fail(std::string(kCutShort));
        const std::uint64_t d = read_le(container, p + 2 + n, 4);
        if (!is_acceptable_payload_name(name)) return fail(format_text("bad name {}", name));
        if (p + 6 + n + d > length) return fail(std::string(kCutShort));
        spans.push_back(EntrySpan{p + 2, n, p + 6 + n, d});
        total_data += d;
        p += 6 + n + d;
    }

    // One owned buffer holds every entry's data; each entry views its part.
    auto storage = std::make_shared<std::vector<std::byte>>(total_data);
    std::vector<PayloadEntry> entries;
    entries.reserve(spans.size());
    std::uint64_t offset = 0;
    for (const EntrySpan& s : spans) {
        if (s.data_length != 0) {
            std::memcpy(storage->data() + offset, container.data() + s.data_at, s.data_length);
        }
        std::string name(reinterpret_cast<const char*>(container.data() + s.name_at),
                         s.name_length);
        entries.emplace_back(std::move(name), storage, offset, s.data_length);
        offset += s.data_length;
    }
    return entries;
}

}  // namespace pelko
