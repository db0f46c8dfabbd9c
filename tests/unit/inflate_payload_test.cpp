#include "reference/inflate_payload.h"

#include <gtest/gtest.h>

#include "payload/inflate/decompress_error.h"
#include "payload/container/read_payload.h"
#include "payload_builder.h"

namespace pelko {
namespace {

using testing::as_string;
using testing::ContainerBuilder;
using testing::raw_deflate;

std::vector<std::byte> bytes_of(std::string_view text) {
    std::vector<std::byte> out;
    for (const char c : text) out.push_back(static_cast<std::byte>(c));
    return out;
}

std::string zeros(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += i == 0 ? "0" : ", 0";
    return text;
}

TEST(InflatePayload, GivesBackTheExactContainer) {
    const auto container = ContainerBuilder{}.entry("pelko.exe", "MZ app").entry("b", "").bytes;
    const auto inflated = inflate_payload(raw_deflate(container));
    ASSERT_TRUE(inflated.has_value()) << inflated.error().text;
    EXPECT_EQ(*inflated, container);
}

TEST(InflatePayload, GrowsAsOftenAsNeededForHighlyCompressibleData) {
    // 3 MB of one byte stores in a few kilobytes: the buffer doubles many times.
    const auto container = ContainerBuilder{}.entry("big", std::string(3'000'000, 'z')).bytes;
    const auto stored = raw_deflate(container);
    ASSERT_LT(stored.size() * 4, container.size());
    const auto inflated = inflate_payload(stored);
    ASSERT_TRUE(inflated.has_value());
    EXPECT_EQ(*inflated, container);
    const auto entries = read_payload(*inflated);
    ASSERT_TRUE(entries.has_value());
    EXPECT_EQ((*entries)[0].size(), 3'000'000u);
}

TEST(InflatePayload, BytesAfterTheStreamAreNotLookedAt) {
    auto stored = raw_deflate(bytes_of("abc"));
    stored.push_back(std::byte{0xFF});
    stored.push_back(std::byte{0x07});
    const auto inflated = inflate_payload(stored);
    ASSERT_TRUE(inflated.has_value());
    EXPECT_EQ(as_string(*inflated), "abc");
}

TEST(InflatePayload, EmptyStreamGivesAnEmptyContainer) {
    const auto inflated = inflate_payload(bytes_of(std::string("\x03\x00", 2)));
    ASSERT_TRUE(inflated.has_value());
    EXPECT_TRUE(inflated->empty());
}

TEST(InflatePayload, FailureTextsShowTheBufferAsItStood) {
    struct Case {
        const char* what;
        std::string stored;
        std::string expected;
    };
    const Case cases[] = {
        {"reserved block type", "\x07",
         "DecompressError { status: Failed, output: [0, 0] }"},
        // A stored block of 5 bytes cut after 3: the buffer (16 bytes) holds "hel" then zeros.
        {"input ends before the final block", std::string("\x01\x05\x00\xfa\xff" "hel", 8),
         "DecompressError { status: FailedCannotMakeProgress, output: [104, 101, 108, " +
             zeros(13) + "] }"},
        {"nothing stored", "", "DecompressError { status: FailedCannotMakeProgress, output: [] }"},
        // 32 stored bytes: a 64-byte buffer is shown whole.
        {"64 bytes shown whole", "\x07" + std::string(31, '\0'),
         "DecompressError { status: Failed, output: [" + zeros(64) + "] }"},
        // 33 stored bytes: 66 bytes, the last two left out.
        {"larger buffers are capped", "\x07" + std::string(32, '\0'),
         "DecompressError { status: Failed, output: [" + zeros(64) + ", \u2026 (2 more)] }"},
    };
    for (const Case& c : cases) {
        const auto inflated = inflate_payload(bytes_of(c.stored));
        ASSERT_FALSE(inflated.has_value()) << c.what;
        EXPECT_EQ(inflated.error().text, c.expected) << c.what;
    }
}

TEST(DecompressErrorText, CapsAtSixtyFourValuesAndCountsTheRest) {
    std::vector<std::byte> buffer(17'312'580);
    for (std::size_t i = 0; i < 64; ++i) buffer[i] = static_cast<std::byte>(i);
    std::string values;
    for (int i = 0; i < 64; ++i) values += (i ? ", " : "") + std::to_string(i);
    EXPECT_EQ(decompress_error_text(DecompressStatus::failed, buffer),
              "DecompressError { status: Failed, output: [" + values +
                  ", \u2026 (17312516 more)] }");
    EXPECT_EQ(decompress_error_text(DecompressStatus::failed_cannot_make_progress,
                                    std::span(buffer).first(3)),
              "DecompressError { status: FailedCannotMakeProgress, output: [0, 1, 2] }");
}

}  // namespace
}  // namespace pelko
