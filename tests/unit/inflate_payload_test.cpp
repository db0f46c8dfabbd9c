#include "reference/inflate_payload.h"

#include <gtest/gtest.h>

#include "payload/container/payload_failure.h"
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
    ASSERT_TRUE(inflated.has_value()) << inflated.error().text();
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
        EXPECT_EQ(inflated.error().text(), c.expected) << c.what;
    }
}

TEST(PayloadFailureText, CapsTheBufferAtSixtyFourValuesAndCountsTheRest) {
    std::vector<std::byte> buffer(17'312'580);
    for (std::size_t i = 0; i < 64; ++i) buffer[i] = static_cast<std::byte>(i);
    std::string values;
    for (int i = 0; i < 64; ++i) values += (i ? ", " : "") + std::to_string(i);
    EXPECT_EQ(
        PayloadFailure::inflate(PayloadFailureKind::does_not_inflate, buffer, buffer.size()).text(),
        "DecompressError { status: Failed, output: [" + values + ", \u2026 (17312516 more)] }");
    EXPECT_EQ(PayloadFailure::inflate(PayloadFailureKind::inflate_cut_short,
                                      std::span(buffer).first(3), 3)
                  .text(),
              "DecompressError { status: FailedCannotMakeProgress, output: [0, 1, 2] }");
    // Only the first bytes at hand: the rest of a small buffer shows as zeros.
    EXPECT_EQ(PayloadFailure::inflate(PayloadFailureKind::does_not_inflate,
                                      std::span(buffer).first(2), 4)
                  .text(),
              "DecompressError { status: Failed, output: [0, 1, 0, 0] }");
}

TEST(PayloadFailureText, EachKindInTheInstallersWords) {
    EXPECT_EQ(PayloadFailure::of(PayloadFailureKind::cut_short).text(), "payload cut short");
    EXPECT_EQ(PayloadFailure::of(PayloadFailureKind::name_not_utf8).text(), "name");
    EXPECT_EQ(PayloadFailure::bad("sub/a.new").text(), "bad name sub/a.new");
    EXPECT_EQ(PayloadFailure::no_memory(123456789012).text(),
              "not enough memory for the payload (123456789012 bytes)");
    EXPECT_EQ(PayloadFailure::of(PayloadFailureKind::damaged).text(), "payload damaged");
    EXPECT_EQ(PayloadFailure::of(PayloadFailureKind::too_large, 1000).text(),
              "payload inflates to more than 1000 bytes");
}

}  // namespace
}  // namespace pelko
