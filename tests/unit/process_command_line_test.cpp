#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "instances/command_line_program.h"
#include "platform/command_line_query.h"

namespace pelko {
namespace {

TEST(CommandLineProgram, QuotedProgramEndsAtTheNextQuote) {
    EXPECT_EQ(command_line_program("\"C:\\Apps\\Pelko\\pelko.exe\" --flag \"x\""),
              "C:\\Apps\\Pelko\\pelko.exe");
    EXPECT_EQ(command_line_program("\"C:\\Program Files\\Pelko\\pelko.exe\""),
              "C:\\Program Files\\Pelko\\pelko.exe");
    // No closing quote: everything after the opening one.
    EXPECT_EQ(command_line_program("\"C:\\Apps\\pelko.exe --x"), "C:\\Apps\\pelko.exe --x");
    // Backslashes and doubled quotes mean nothing.
    EXPECT_EQ(command_line_program("\"C:\\a\\\"\" b"), "C:\\a\\");
    EXPECT_EQ(command_line_program("\"\" rest"), "");
}

TEST(CommandLineProgram, UnquotedProgramEndsOnlyAtASpace) {
    EXPECT_EQ(command_line_program("   C:\\Apps\\pelko.exe --a b   "), "C:\\Apps\\pelko.exe");
    EXPECT_EQ(command_line_program("C:\\Program Files\\Pelko\\pelko.exe"), "C:\\Program");
    EXPECT_EQ(command_line_program("C:\\Apps\\pelko.exe\t--a"), "C:\\Apps\\pelko.exe\t--a");
    EXPECT_EQ(command_line_program("pelko.exe"), "pelko.exe");
    // A no-break space inside the text does not end the program either.
    EXPECT_EQ(command_line_program("C:\\a\xC2\xA0" "b c"), "C:\\a\xC2\xA0" "b");
}

TEST(CommandLineProgram, UnicodeWhiteSpaceIsTrimmedAtBothEnds) {
    // U+3000, U+00A0, tab, U+2028 before; U+0085, U+205F, line feed, U+202F after.
    EXPECT_EQ(command_line_program("\xE3\x80\x80\xC2\xA0\t\xE2\x80\xA8\"C:\\p.exe\""
                                   "\xC2\x85\xE2\x81\x9F\n\xE2\x80\xAF"),
              "C:\\p.exe");
    // Trimming happens before the quote test, and the trailing tab goes with the trim.
    EXPECT_EQ(command_line_program("\xE2\x80\x80pelko.exe\t"), "pelko.exe");
    // U+200B (zero width space) is no White_Space; nor is U+FFFD.
    EXPECT_EQ(command_line_program("\xE2\x80\x8Bx"), "\xE2\x80\x8Bx");
    EXPECT_EQ(command_line_program("x\xEF\xBF\xBD"), "x\xEF\xBF\xBD");
    EXPECT_EQ(command_line_program(""), "");
    EXPECT_EQ(command_line_program(" \t\xE1\x9A\x80\xE3\x80\x80 "), "");
    // A stray byte is kept, not mistaken for white space.
    EXPECT_EQ(command_line_program("\x85" "a \xA0"), "\x85" "a");
}

TEST(CommandLineBufferSize, BoundsAndRounding) {
    EXPECT_FALSE(command_line_buffer_size(0));
    EXPECT_FALSE(command_line_buffer_size(15));
    EXPECT_EQ(command_line_buffer_size(16), 16u);
    EXPECT_EQ(command_line_buffer_size(17), 24u);
    EXPECT_EQ(command_line_buffer_size(23), 24u);
    EXPECT_EQ(command_line_buffer_size(0xFFFFF), 0x100000u);
    EXPECT_FALSE(command_line_buffer_size(0x100000));
    EXPECT_FALSE(command_line_buffer_size(0xFFFFFFFF));
}

// An 8-aligned answer buffer: the descriptor at its head, then the characters.
struct Answer {
    std::vector<std::uint64_t> storage;
    explicit Answer(std::size_t bytes) : storage((bytes + 7) / 8) {}
    std::byte* bytes() { return reinterpret_cast<std::byte*>(storage.data()); }
    std::span<const std::byte> span(std::size_t size) { return {bytes(), size}; }
    void describe(std::uint16_t length, const void* characters) {
        CountedUtf16 d{length, length, static_cast<const char16_t*>(characters)};
        std::memcpy(bytes(), &d, sizeof d);
    }
    void put(std::size_t at, std::u16string_view text) {
        std::memcpy(bytes() + at, text.data(), text.size() * 2);
    }
};

TEST(CommandLineFromBuffer, TextInsideTheBufferIsRead) {
    constexpr std::size_t head = sizeof(CountedUtf16);
    Answer answer(head + 40);
    answer.put(head, u"\"C:\\p.exe\" -q");
    answer.describe(26, answer.bytes() + head);
    EXPECT_EQ(command_line_from_buffer(answer.span(head + 40)), "\"C:\\p.exe\" -q");
    // The characters may end exactly at the end of the buffer.
    EXPECT_EQ(command_line_from_buffer(answer.span(head + 26)), "\"C:\\p.exe\" -q");
    // An odd length is taken down to whole units.
    answer.describe(5, answer.bytes() + head);
    EXPECT_EQ(command_line_from_buffer(answer.span(head + 40)), "\"C");
    // An empty string, even one pointing just past the end.
    answer.describe(0, answer.bytes() + head + 40);
    EXPECT_EQ(command_line_from_buffer(answer.span(head + 40)), "");
    // An unpaired surrogate becomes U+FFFD; an odd (unaligned) address is fine.
    answer.put(head + 1, u"a\xD800");
    answer.describe(4, answer.bytes() + head + 1);
    EXPECT_EQ(command_line_from_buffer(answer.span(head + 40)), "a\xEF\xBF\xBD");
}

TEST(CommandLineFromBuffer, TextOutsideTheBufferIsRefused) {
    constexpr std::size_t head = sizeof(CountedUtf16);
    Answer answer(head + 64);
    // One unit past the end.
    answer.describe(28, answer.bytes() + head);
    EXPECT_FALSE(command_line_from_buffer(answer.span(head + 26)));
    // Before the start of the buffer (the memory itself is never touched).
    answer.describe(
        2, reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(answer.bytes()) - 2));
    EXPECT_FALSE(command_line_from_buffer(answer.span(head + 64)));
    // Far away, and a length that would wrap around the address space.
    answer.describe(0xFFFF, reinterpret_cast<const void*>(~std::uintptr_t{0} - 16));
    EXPECT_FALSE(command_line_from_buffer(answer.span(head + 64)));
    answer.describe(0, nullptr);
    EXPECT_FALSE(command_line_from_buffer(answer.span(head + 64)));
    // A buffer too small for the descriptor.
    EXPECT_FALSE(command_line_from_buffer(answer.span(head - 1)));
}

}  // namespace
}  // namespace pelko
