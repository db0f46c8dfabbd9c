#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace pelko {

// The system's answer to "how long is that process's command line" is trusted only within
// [16 bytes, 1 MiB).
inline constexpr std::uint32_t kCommandLineMinBytes = 16;
inline constexpr std::uint32_t kCommandLineMaxBytes = 0x100000;

// The counted UTF-16 string at the head of the answer, laid out as the system lays it out:
// byte length, maximum byte length, then a pointer to the characters.
struct CountedUtf16 {
    std::uint16_t length;
    std::uint16_t maximum_length;
    const char16_t* characters;
};

// The size of the buffer for the second query: the reported length rounded up to a multiple of
// 8. Nothing when the reported length is below 16 or not below 1 MiB.
std::optional<std::size_t> command_line_buffer_size(std::uint32_t reported_length);

// The command line in an answer buffer: the (length / 2) UTF-16 units the descriptor at its head
// points to, as text (unpaired surrogates become U+FFFD). Nothing when the buffer cannot hold
// the descriptor, or when the characters (the length taken down to an even number) do not lie
// wholly inside the buffer.
std::optional<std::string> command_line_from_buffer(std::span<const std::byte> buffer);

}  // namespace pelko
