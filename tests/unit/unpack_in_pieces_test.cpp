#include "payload/unpack/unpack_in_pieces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "expected.h"
#include "fake_platform.h"
#include "payload/inflate/stream_index.h"
#include "payload/unpack/unpack_payload.h"
#include "payload_builder.h"
#include "stream_cuts.h"
#include "stream_join.h"

namespace pelko {
namespace {

HeapAllocator heap;

using testing::ContainerBuilder;
using testing::FakePlatform;
using packer::find_stream_index;
using testing::raw_deflate;

using testing::outcome;

std::string random_text(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) text += "pelko setup file "[random() % 17];
    return text;
}

std::vector<std::byte> sample_container() {
    return ContainerBuilder{}
        .entry("pelko.exe", "MZ" + random_text(150'000, 1))
        .entry("empty", "")
        .entry("lib/a.dll", random_text(90'000, 2))
        .entry("lib/b.dll", random_text(120'000, 3))
        .entry("licenses/GPL-3.txt", random_text(40'000, 4))
        .bytes;
}

// The container cut into `count` equal parts (through headers and data alike), each deflated on
// its own, joined as the packer does.
std::vector<std::byte> in_parts(const std::vector<std::byte>& container, std::size_t count) {
    std::vector<std::vector<std::byte>> streams;
    const std::size_t part = container.size() / count;
    for (std::size_t k = 0; k < count; ++k) {
        const auto begin = container.begin() + static_cast<std::ptrdiff_t>(part * k);
        const auto end = k + 1 == count ? container.end() : begin + static_cast<std::ptrdiff_t>(part);
        streams.push_back(raw_deflate(std::vector<std::byte>(begin, end), 6));
    }
    return packer::join_raw_streams(streams).stream;
}

TEST(UnpackInPieces, GivesUnpackPayloadsEntriesInOneSharedBuffer) {
    const auto container = sample_container();
    const auto stored = in_parts(container, 4);
    const auto index = find_stream_index(stored, 4);
    ASSERT_TRUE(index);
    ASSERT_EQ(index->pieces.size(), 4u);
    const std::string expected = outcome(unpack_payload(stored, heap));
    ASSERT_FALSE(expected.starts_with("error"));

    for (const std::uint32_t processors : {1u, 2u, 4u, 8u}) {
        FakePlatform os;
        os.processors = processors;
        const auto read = unpack_payload_in_pieces(stored, *index, os);
        EXPECT_EQ(outcome(read), expected) << processors;
        // One thread asked for each piece (the platform takes as many as it has processors).
        EXPECT_EQ(os.calls_of("run_concurrently"), std::vector<std::string>{"run_concurrently 4"});
        // Every entry's bytes lie in one buffer of the container's size, in container order.
        ASSERT_TRUE(read);
        const std::byte* base = (*read)[0].data().data();
        for (const PayloadEntry& entry : *read) {
            if (entry.size() == 0) continue;
            EXPECT_GE(entry.data().data(), base);
            EXPECT_LE(entry.data().data() + entry.size(), base + container.size());
        }
    }
}

TEST(UnpackInPieces, WithoutMemoryForTheWholeContainerEachEntryGetsItsOwn) {
    const auto container = sample_container();
    const auto stored = in_parts(container, 4);
    const StreamIndex index = *find_stream_index(stored, 4);
    // Enough for every entry on its own, not for the container in one buffer.
    FakePlatform os;
    os.largest_buffer = container.size() - 1;
    EXPECT_EQ(outcome(unpack_payload_in_pieces(stored, index, os)),
              outcome(unpack_payload(stored, heap)));
    EXPECT_TRUE(os.calls_of("run_concurrently").empty());
    // Not enough for the largest entry either (150,002 bytes): the run's memory failure.
    os.largest_buffer = 150'001;
    EXPECT_EQ(outcome(unpack_payload_in_pieces(stored, index, os)),
              "error: not enough memory for the payload (150002 bytes)");
}

TEST(UnpackInPieces, AnIndexThatDoesNotFitFallsBackToTheSameResult) {
    const auto container = sample_container();
    const auto stored = in_parts(container, 3);
    const StreamIndex sound = *find_stream_index(stored, 3);
    ASSERT_EQ(sound.pieces.size(), 3u);
    const std::string expected = outcome(unpack_payload(stored, heap));

    std::vector<StreamIndex> wrong(5, sound);
    wrong[0].container_size += 1;
    wrong[1].container_size -= 1;
    wrong[2].pieces[1].stored_offset += 1;
    wrong[3].pieces[2].container_offset -= 1;
    wrong[4].pieces[1].stored_offset -= 7;
    for (const StreamIndex& index : wrong) {
        FakePlatform os;
        EXPECT_EQ(outcome(unpack_payload_in_pieces(stored, index, os)), expected);
    }
    // The same cuts in a stream compressed in one go: its later pieces refer back.
    const auto whole = raw_deflate(container, 6);
    FakePlatform on_whole;
    EXPECT_EQ(outcome(unpack_payload_in_pieces(whole, sound, on_whole)), expected);
    // One piece, or an index that cannot describe the stream: no threads at all.
    FakePlatform os;
    EXPECT_EQ(outcome(unpack_payload_in_pieces(stored, StreamIndex{container.size(), {{0, 0}}}, os)),
              expected);
    const auto cut = std::span(stored).first(100);
    EXPECT_EQ(outcome(unpack_payload_in_pieces(cut, sound, os)), outcome(unpack_payload(cut, heap)));
    EXPECT_TRUE(os.calls_of("run_concurrently").empty());
}

TEST(UnpackInPieces, DamageGivesUnpackPayloadsTexts) {
    const auto container = sample_container();
    const auto stored = in_parts(container, 4);
    const StreamIndex index = *find_stream_index(stored, 4);
    std::mt19937 random(5);
    for (int i = 0; i < 60; ++i) {
        auto damaged = stored;
        damaged[random() % damaged.size()] ^= static_cast<std::byte>(1 + random() % 255);
        FakePlatform os;
        EXPECT_EQ(outcome(unpack_payload_in_pieces(damaged, index, os)),
                  outcome(unpack_payload(damaged, heap)))
            << i;
    }
    // A sound stream of a container with a fault in its last part.
    auto bad = container;
    const auto named = ContainerBuilder{}.entry("../escape", "x").bytes;
    bad.insert(bad.end(), named.begin(), named.end());
    const auto bad_stored = in_parts(bad, 4);
    FakePlatform os;
    const auto read = unpack_payload_in_pieces(bad_stored, *find_stream_index(bad_stored, 4), os);
    EXPECT_EQ(outcome(read), outcome(unpack_payload(bad_stored, heap)));
    EXPECT_FALSE(read);
}

TEST(UnpackInPieces, ManySmallEntriesNeedTheirListAndLittleMore) {
    // An app of many small files: 20,000 entries in 200 folders.
    constexpr std::size_t kEntries = 20'000;
    ContainerBuilder builder;
    for (std::size_t i = 0; i < kEntries; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "pkg%03zu/mod%05zu.py", i / 100, i);
        builder.entry(name, random_text(100, static_cast<unsigned>(i % 7)));
    }
    const auto stored = in_parts(builder.bytes, 2);
    const StreamIndex index = *find_stream_index(stored, 2);
    // The container, its list of entries, and 80 bytes an entry for everything else: the name
    // check's keys and tables (a list grown by doubling, or a table sized for every separator
    // of every name, takes more).
    FakePlatform os;
    os.memory_limit = builder.bytes.size() + kEntries * (sizeof(PayloadEntry) + 80);
    const auto read = unpack_payload_in_pieces(stored, index, os);
    ASSERT_TRUE(read) << outcome(read);
    EXPECT_EQ(read->size(), kEntries);
    EXPECT_EQ((*read)[kEntries - 1].name(), "pkg199/mod19999.py");
}

TEST(UnpackInPieces, ARunWithTheIndexInstallsAndLogsAsOneWithout) {
    const auto container = ContainerBuilder{}
                               .entry("pelko.exe", random_text(200'000, 7))
                               .entry("pelko-guard.exe", random_text(100'000, 8))
                               .entry("lib/c.dll", random_text(100'000, 9))
                               .bytes;
    const auto stored = in_parts(container, 2);
    const auto index = encode_stream_index(*find_stream_index(stored, 2));
    const auto run = [&](std::span<const std::byte> recorded_index) {
        auto os = std::make_unique<FakePlatform>();
        os->add_user();
        os->set_env("APPDATA", std::string(testing::kFakeAppData));
        testing::run_setup_to_exit(*os, {stored, std::nullopt, recorded_index});
        return os;
    };
    const auto with = run(index);
    const auto without = run({});
    EXPECT_EQ(with->files, without->files);
    EXPECT_EQ(with->user_log(), without->user_log());
    EXPECT_EQ(with->calls_of("run_concurrently"), std::vector<std::string>{"run_concurrently 2"});
    EXPECT_TRUE(without->calls_of("run_concurrently").empty());
    // A damaged index is only ignored.
    auto damaged = index;
    damaged[5] ^= std::byte{1};
    const auto ignored = run(damaged);
    EXPECT_EQ(ignored->files, without->files);
    EXPECT_TRUE(ignored->calls_of("run_concurrently").empty());
}

}  // namespace
}  // namespace pelko
