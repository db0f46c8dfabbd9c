// The stored payload is checked against the CRC-32 the build recorded before anything is
// inflated or changed; the size cap of inflate_payload for untrusted streams.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <string>

#include "expected.h"
#include "fake_platform.h"
#include "reference/inflate_payload.h"
#include "payload/inflate/payload_checksum.h"
#include "payload_builder.h"

namespace pelko {
namespace {

using testing::ContainerBuilder;
using testing::FakePlatform;
using testing::raw_deflate;

std::vector<std::byte> bytes_of(std::string_view text) {
    const auto* p = reinterpret_cast<const std::byte*>(text.data());
    return {p, p + text.size()};
}

TEST(PayloadChecksum, IsZlibsCrc32) {
    // The check value of CRC-32 (ISO-HDLC), as zip and PNG use it.
    EXPECT_EQ(payload_crc32(bytes_of("123456789")), 0xCBF43926u);
    EXPECT_EQ(payload_crc32({}), 0u);
    // The folding path (64 bytes and more) and the byte path agree with zlib at every length
    // around the folding's steps, from any start, and carried on from an earlier CRC-32.
    std::vector<std::byte> data(70'000);
    std::uint32_t seed = 12345;
    for (std::byte& b : data) b = static_cast<std::byte>((seed = seed * 1103515245 + 12345) >> 24);
    for (std::size_t length : {0, 1, 15, 16, 17, 63, 64, 65, 79, 80, 127, 128, 129, 191, 255, 256,
                               1000, 4096, 65'537, 69'990}) {
        for (std::size_t start : {0, 1, 7}) {
            const auto part = std::span(data).subspan(start, length);
            const auto zlib = static_cast<std::uint32_t>(
                crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(part.data()),
                      static_cast<uInt>(part.size())));
            EXPECT_EQ(payload_crc32(part), zlib) << length << " from " << start;
            const std::size_t half = length / 2;
            EXPECT_EQ(payload_crc32(part.subspan(half), payload_crc32(part.first(half))), zlib)
                << length << " from " << start << ", in two";
        }
    }
}

TEST(PayloadChecksum, AnyFlippedBitIsDamage) {
    const auto stored = raw_deflate(ContainerBuilder{}.entry("pelko.exe", "MZ app").bytes);
    const std::uint32_t recorded = payload_crc32(stored);
    EXPECT_TRUE(check_payload_crc32(stored, recorded).has_value());
    for (std::size_t at = 0; at < stored.size(); ++at) {
        for (int bit = 0; bit < 8; ++bit) {
            auto damaged = stored;
            damaged[at] ^= static_cast<std::byte>(1 << bit);
            const auto checked = check_payload_crc32(damaged, recorded);
            ASSERT_FALSE(checked.has_value()) << at << ":" << bit;
            EXPECT_EQ(checked.error().text(), "payload damaged");
        }
    }
    // A byte cut off or added counts too.
    auto shorter = stored;
    shorter.pop_back();
    EXPECT_FALSE(check_payload_crc32(shorter, recorded).has_value());
    auto longer = stored;
    longer.push_back(std::byte{0});
    EXPECT_FALSE(check_payload_crc32(longer, recorded).has_value());
}

struct DamagedRun : ::testing::Test {
    FakePlatform os;
    std::vector<std::byte> stored =
        raw_deflate(ContainerBuilder{}.entry("pelko.exe", "MZ app").entry("pelko-guard.exe", "g").bytes);

    void SetUp() override {
        os.add_user();
    }
    int run(std::uint32_t recorded) { return testing::run_setup_to_exit(os, {stored, recorded}); }
    std::vector<std::string> log() const { return os.user_log(); }
    // Every file is the log's, every directory below LOCALAPPDATA one of its folders.
    void expect_only_the_log() const {
        const std::string log_file = "c:\\users\\a\\appdata\\local\\pelko\\logs\\setup.log";
        for (const auto& [path, contents] : os.files) EXPECT_EQ(path, log_file);
        for (const std::string& dir : os.directories) {
            EXPECT_TRUE(log_file.starts_with(dir + "\\")) << dir;
        }
    }
};

TEST_F(DamagedRun, EndsBeforeAnythingChangesWithTheBox) {
    // Whatever the flipped bit does to the stream, the check comes before inflating it.
    const std::uint32_t recorded = payload_crc32(stored);
    stored[stored.size() / 2] ^= std::byte{0x10};
    os.processes = {{7, "pelko.exe", "\"C:\\Apps\\pelko.exe\""}};
    os.files[FakePlatform::normalize(OsString::from_utf8("C:\\Apps\\pelko.exe"))] = "MZ";
    EXPECT_EQ(run(recorded), 1);
    EXPECT_EQ(log().back(), testing::failed_line("payload damaged"));
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].text, testing::failure_box("payload damaged"));
    EXPECT_TRUE(os.started.empty()) << "the running copy was asked to quit";
    os.files.erase(FakePlatform::normalize(OsString::from_utf8("C:\\Apps\\pelko.exe")));
    expect_only_the_log();
    EXPECT_TRUE(os.registry.empty());
}

TEST_F(DamagedRun, UpdateModeOnlyLogs) {
    os.raw_command_line = u"setup.exe --update";
    EXPECT_EQ(run(payload_crc32(stored) ^ 1u), 1);
    EXPECT_EQ(log(), (std::vector<std::string>{testing::start_line(true),
                                               testing::failed_line("payload damaged")}));
    EXPECT_TRUE(os.boxes.empty());
    expect_only_the_log();
}

TEST_F(DamagedRun, IntactPayloadInstalls) {
    EXPECT_EQ(run(payload_crc32(stored)), 0);
    EXPECT_EQ(os.file(testing::app_exe_of()), "MZ app");
}

TEST(InflateLimit, StreamsUpToTheLimitInflateWholeAndLongerOnesFail) {
    const std::string text(100000, 'q');
    const auto stored = raw_deflate(bytes_of(text));
    for (const std::uint64_t limit : {100000ull, 100001ull, 1ull << 40}) {
        const auto inflated = inflate_payload(stored, limit);
        ASSERT_TRUE(inflated.has_value()) << limit << ": " << inflated.error().text();
        EXPECT_EQ(inflated->size(), text.size());
    }
    for (const std::uint64_t limit : {99999ull, 1000ull, 1ull, 0ull}) {
        const auto inflated = inflate_payload(stored, limit);
        ASSERT_FALSE(inflated.has_value()) << limit;
        EXPECT_EQ(inflated.error().text(),
                  "payload inflates to more than " + std::to_string(limit) + " bytes");
    }
    // No limit, and the largest one, behave as the unlimited call.
    EXPECT_EQ(inflate_payload(stored, std::nullopt)->size(), text.size());
    EXPECT_EQ(inflate_payload(stored, UINT64_MAX)->size(), text.size());
    // An empty stream with a limit of 0 is a whole, empty container.
    const auto empty = raw_deflate({});
    ASSERT_TRUE(inflate_payload(empty, 0).has_value());
    EXPECT_TRUE(inflate_payload(empty, 0)->empty());
    // Invalid data still fails with the decoder's text under a limit.
    const auto junk = bytes_of("\xff\xff\xff\xff");
    ASSERT_FALSE(inflate_payload(junk, 1000).has_value());
    EXPECT_EQ(inflate_payload(junk, 1000).error().text().rfind("DecompressError { status: Failed", 0),
              0u);
}

}  // namespace
}  // namespace pelko
