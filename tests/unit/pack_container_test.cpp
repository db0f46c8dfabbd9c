// Packing a manifest's files: the container read from the files on demand, cut into parts that
// are compressed at the same time, written in order, with the index of where they start.
#include "pack.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <random>

#include <pty.h>
#include <unistd.h>

#include "payload/inflate/payload_checksum.h"
#include "payload/inflate/stream_index.h"
#include "payload/unpack/unpack_payload.h"
#include "payload_builder.h"
#include "progress.h"

namespace pelko {
namespace {

namespace fs = std::filesystem;
using packer::ContainerLayout;
using packer::ManifestLine;

std::string text_of(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    static constexpr std::string_view kWords[] = {"pelko ", "setup ", "library ", "\r\n", "file "};
    std::string text;
    while (text.size() < size) text += kWords[random() % 5];
    text.resize(size);
    return text;
}

// Bytes that barely compress: the encoder is quick on them.
std::string noise_of(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 200);
    return bytes;
}

// Files in a fresh folder, their manifest lines, and the container they make.
struct Files : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("pelko-pack-test-" + std::to_string(::getpid()));
    std::vector<ManifestLine> lines;
    testing::ContainerBuilder container;

    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
    void add(const std::string& name, const std::string& data) {
        const fs::path source = dir / std::to_string(lines.size());
        std::ofstream(source, std::ios::binary) << data;
        lines.push_back({name, source, static_cast<int>(lines.size()) + 1});
        container.entry(name, data);
    }
    // Three files of 9 MiB in all: two parts.
    void add_two_parts() {
        add("pelko.exe", "MZ" + noise_of(5 << 20, 3));
        add("lib/core.dll", noise_of(4 << 20, 4));
        add("licenses/notice.txt", text_of(4'096, 5));
    }
    // Packs into a file of the folder, showing the progress on `terminal` if it is one; the
    // stream and the result.
    std::pair<std::vector<std::byte>, packer::PackResult> pack(const ContainerLayout& layout,
                                                               unsigned threads,
                                                               std::FILE* terminal = nullptr) {
        const fs::path out = dir / "payload.bin";
        std::FILE* file = std::fopen(out.c_str(), "wb");
        std::expected<packer::PackResult, packer::ManifestProblem> packed;
        {
            packer::Progress progress(terminal, layout.size(), layout.entry_count());
            packed = packer::pack_container(layout, file, threads, progress);
        }
        std::fclose(file);
        EXPECT_TRUE(packed) << (packed ? "" : packed.error().text);
        std::ifstream in(out, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        const auto* begin = reinterpret_cast<const std::byte*>(bytes.data());
        return {std::vector<std::byte>(begin, begin + bytes.size()),
                packed.value_or(packer::PackResult{})};
    }
};

TEST_F(Files, TheLayoutReadsTheContainerAcrossFilesInSlicesOfAnySize) {
    add("pelko.exe", "MZ" + text_of(70'000, 1));
    add("empty.dat", "");
    add("sub/readme.txt", text_of(3'000, 2));
    const auto layout = ContainerLayout::of(lines);
    ASSERT_TRUE(layout);
    ASSERT_EQ(layout->size(), container.bytes.size());
    std::uint64_t covered = 0;  // the entries' ranges tile the container
    EXPECT_EQ(layout->count_entries(0, layout->size(), [&](std::uint64_t begin, std::uint64_t end) {
        const bool next = begin == covered;
        covered = end;
        return next;
    }), 3u);
    EXPECT_EQ(covered, layout->size());
    // Slices that end inside a header, at the end of a file's data, and across files.
    ContainerLayout::Reader reader(*layout);
    std::vector<std::byte> read(container.bytes.size());
    std::size_t at = 0;
    for (const std::size_t end : {1ul, 10ul, 70'017ul, 70'023ul, 70'030ul, read.size()}) {
        ASSERT_TRUE(reader.read(std::span(read).subspan(at, end - at))) << end;
        at = end;
    }
    EXPECT_EQ(read, container.bytes);
    // A file that shrank since the layout was made is named with its line.
    std::ofstream(lines[0].source, std::ios::binary) << "MZ";
    const auto shrunk = ContainerLayout::Reader(*layout).read(read);
    ASSERT_FALSE(shrunk);
    EXPECT_EQ(shrunk.error().line, 1);
    EXPECT_EQ(shrunk.error().text, lines[0].source.string() +
                                       ": changed while it was packed (its size went from 70002 "
                                       "to 2 bytes)");
    // A missing file is refused when the layout is made.
    lines.push_back({"missing", dir / "missing"});
    EXPECT_FALSE(ContainerLayout::of(lines));
}

// The files left in the folder.
std::vector<std::string> files_in(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::ranges::sort(names);
    return names;
}

TEST_F(Files, ASourceThatChangesWhileItIsPackedFailsWithItsLineAndLeavesNoOutput) {
    const std::string data = noise_of(10 << 20, 6);  // two parts, each read at once
    const fs::path out = dir / "payload.bin";
    const fs::path section = dir / "payload.section";
    struct Change {
        std::function<void(const fs::path&)> make;
        std::uint64_t after;  // the container offset read when it is made
        std::string what;
    };
    const Change changes[] = {
        {[&](const fs::path& source) {
             std::ofstream(dir / "new", std::ios::binary) << data;
             fs::rename(dir / "new", source);
         },
         data.size() / 2, "replaced by another file"},
        {[](const fs::path& source) { std::ofstream(source, std::ios::app) << "more"; },
         data.size() / 2, "its size went from 10485760 to 10485764 bytes"},
        // After its last byte is read: found before the output is put in place.
        {[](const fs::path& source) {
             fs::last_write_time(source, fs::last_write_time(source) - std::chrono::hours(1));
         },
         data.size() + 100, "written to: its modification time changed"}};
    for (const Change& change : changes) {
        lines.clear();
        add("notes.txt", "first");
        add("big.dat", data);
        auto layout = ContainerLayout::of(lines);
        ASSERT_TRUE(layout);
        bool made = false;
        layout->after_each_read([&](std::uint64_t reached) {
            if (!made && reached >= change.after - 100) {
                change.make(lines[1].source);
                made = true;
            }
        });
        packer::Progress quiet(nullptr, layout->size(), layout->entry_count());
        const auto packed = packer::pack_to_files(*layout, out, section, 2, quiet);
        ASSERT_FALSE(packed) << change.what;
        EXPECT_EQ(packed.error().line, 2);
        EXPECT_EQ(packed.error().text,
                  lines[1].source.string() + ": changed while it was packed (" + change.what + ")");
        EXPECT_EQ(files_in(dir), (std::vector<std::string>{"0", "1"})) << change.what;
    }
}

TEST_F(Files, PartsMadeAtOnceGiveTheStreamOfOnePassWithItsIndex) {
    add_two_parts();
    const auto layout = ContainerLayout::of(lines);
    ASSERT_TRUE(layout);
    const auto [one, by_one] = pack(*layout, 1);
    const auto [two, by_two] = pack(*layout, 2);
    EXPECT_EQ(by_two.threads, 2u);
    EXPECT_EQ(one, two);
    // The parts start where the container is cut in two and where the first part's stream ends.
    ASSERT_EQ(by_two.index.pieces.size(), 2u);
    EXPECT_EQ(by_two.index.pieces[1].container_offset, container.bytes.size() / 2);
    std::vector<std::byte> second(container.bytes.size() - container.bytes.size() / 2);
    EXPECT_TRUE(inflate_piece(std::span(two).subspan(by_two.index.pieces[1].stored_offset),
                              second, true));
    EXPECT_EQ(by_two.stored_size, two.size());
    const auto entries = unpack_payload(two, heap_memory());
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 3u);
    EXPECT_EQ((*entries)[1].name(), "lib/core.dll");
    EXPECT_EQ((*entries)[1].size(), std::uint64_t{4} << 20);
}

TEST_F(Files, OnATerminalTheProgressOfPartsMadeAtOnceEndsAtEveryByteAndFile) {
    // Two parts made at once, each worker counting its slices while the ticker redraws.
    add_two_parts();
    const auto layout = ContainerLayout::of(lines);
    ASSERT_TRUE(layout);
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        GTEST_SKIP() << "no pseudo-terminal on this machine";
    }
    std::FILE* terminal = fdopen(slave, "w");
    EXPECT_EQ(pack(*layout, 2, terminal).second.threads, 2u);
    std::fclose(terminal);
    std::string shown;
    char block[4096];
    for (ssize_t got; (got = read(master, block, sizeof block)) > 0;) shown.append(block, got);
    close(master);
    // The last line shows every byte and file, and the line is ended.
    ASSERT_TRUE(shown.ends_with("\r\n")) << shown;
    shown.resize(shown.size() - 2);
    const std::string last = shown.substr(shown.rfind('\r') + 1);
    const std::string done = packer::Progress::line(layout->size(), layout->size(), 3, 3, {});
    EXPECT_TRUE(last.starts_with(done + ", ")) << last;
}

TEST(PackProgress, BytesFilesRateAndTimeLeft) {
    using packer::Progress;
    using std::chrono::duration;
    EXPECT_EQ(Progress::line(0, 600'000'000, 0, 694, duration<double>(0)),
              "packing 0.0 of 600.0 MB, 0 of 694 files");
    EXPECT_EQ(Progress::line(150'000'000, 600'000'000, 170, 694, duration<double>(30)),
              "packing 150.0 of 600.0 MB, 170 of 694 files, 5.0 MB/s, 1 min 30 s left");
    EXPECT_EQ(Progress::line(20'000'000, 20'000'000, 11, 11, duration<double>(2)),
              "packing 20.0 of 20.0 MB, 11 of 11 files, 10.0 MB/s");
}

}  // namespace
}  // namespace pelko
