#include "payload/unpack/unpack_payload.h"

#include <gtest/gtest.h>

#include <random>

#include "reference/inflate_payload.h"
#include "payload/container/read_payload.h"
#include "payload_builder.h"

namespace pelko {
namespace {

HeapAllocator heap;

using testing::ContainerBuilder;
using testing::raw_deflate;

using testing::outcome;

std::string two_step(std::span<const std::byte> stored) {
    const auto container = inflate_payload(stored);
    if (!container) return "error: " + container.error().text();
    return outcome(read_payload(*container));
}

bool same_bytes(std::span<const PayloadEntry> a, std::span<const PayloadEntry> b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].name() != b[i].name() || !std::ranges::equal(a[i].data(), b[i].data())) {
            return false;
        }
    }
    return true;
}

std::vector<std::byte> sample_container() {
    std::string big;
    std::mt19937 random(7);
    for (int i = 0; i < 300'000; ++i) big += static_cast<char>('a' + random() % 6);
    return ContainerBuilder{}
        .entry("pelko.exe", "MZ\x90\x00" + std::string(5000, 'x'))
        .entry("empty", "")
        .entry("sub/big.bin", big)
        .entry("sub/readme.txt", "read me")
        .bytes;
}

TEST(UnpackPayload, GivesTheEntriesOfInflateThenRead) {
    const auto container = sample_container();
    for (const int level : {0, 1, 9}) {
        const auto stored = raw_deflate(container, level);
        const auto unpacked = unpack_payload(stored, heap);
        ASSERT_TRUE(unpacked.has_value()) << unpacked.error().text();
        const auto read = read_payload(container);
        EXPECT_TRUE(same_bytes(*unpacked, *read)) << "level " << level;
    }
    // Highly compressible: inflate_payload's buffer doubles many times.
    const auto zeros = ContainerBuilder{}.entry("z", std::string(3'000'000, '\0')).bytes;
    const auto unpacked = unpack_payload(raw_deflate(zeros), heap);
    ASSERT_TRUE(unpacked.has_value());
    EXPECT_TRUE(same_bytes(*unpacked, *read_payload(zeros)));
}

TEST(UnpackPayload, FaultsOfTheContainerGiveTheSameTexts) {
    const std::vector<std::vector<std::byte>> containers = {
        {},
        ContainerBuilder{}.entry("a", "1").raw("x").bytes,
        ContainerBuilder{}.u16(5).raw("abc").bytes,
        ContainerBuilder{}.u16(2).raw("\xff\xfe").u32(0).bytes,
        ContainerBuilder{}.entry("ok", "1").u16(4).raw("a..b").u32(3).raw("xyz").bytes,
        ContainerBuilder{}.u16(4).raw("a..b").bytes,
        ContainerBuilder{}.u16(1).raw("a").u32(10).raw("short").bytes,
        // A data length far beyond anything the stream could still hold.
        ContainerBuilder{}.u16(1).raw("a").u32(0xFFFFFFFF).raw("tiny").bytes,
        ContainerBuilder{}.entry("C:\\x", "1").bytes,
    };
    for (const auto& container : containers) {
        const auto stored = raw_deflate(container);
        EXPECT_EQ(outcome(unpack_payload(stored, heap)), two_step(stored));
        EXPECT_EQ(outcome(unpack_payload(stored, heap)), outcome(read_payload(container)));
    }
}

TEST(UnpackPayload, DamagedStreamsGiveTheSameTexts) {
    const auto stored = raw_deflate(sample_container(), 6);
    // Cut at many places, including right at the start and just before the end.
    for (std::size_t cut = 0; cut < stored.size(); cut += 1 + cut / 3) {
        const std::span<const std::byte> part(stored.data(), cut);
        EXPECT_EQ(outcome(unpack_payload(part, heap)), two_step(part)) << "cut at " << cut;
    }
    // Single flipped bytes: invalid data, or other bytes, or a container fault.
    std::mt19937 random(11);
    for (int i = 0; i < 150; ++i) {
        auto damaged = stored;
        damaged[random() % damaged.size()] ^= static_cast<std::byte>(1 + random() % 255);
        EXPECT_EQ(outcome(unpack_payload(damaged, heap)), two_step(damaged)) << "damage " << i;
    }
    // Stored forms that fail at once.
    for (const std::string& raw : {std::string("\x07"), std::string("\x07") + std::string(40, '\0'),
                                  std::string("\x01\x05\x00\xfa\xff" "hel", 8)}) {
        const auto bytes = std::as_bytes(std::span(raw));
        EXPECT_EQ(outcome(unpack_payload(bytes, heap)), two_step(bytes));
    }
}

TEST(UnpackPayload, AStreamFaultAfterABadNameIsTheOneReported) {
    auto stored = raw_deflate(ContainerBuilder{}.entry("../x", std::string(70000, 'q')).bytes, 0);
    stored.resize(stored.size() - 10);  // the stream now ends early
    const auto unpacked = unpack_payload(stored, heap);
    ASSERT_FALSE(unpacked.has_value());
    EXPECT_TRUE(unpacked.error().text().starts_with(
        "DecompressError { status: FailedCannotMakeProgress, output: [4, 0, 46, 46, 47, 120"))
        << unpacked.error().text();
    EXPECT_EQ(unpacked.error().text(), two_step(stored).substr(7));
}

}  // namespace
}  // namespace pelko
