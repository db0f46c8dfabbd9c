#include "pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "align_section.h"
#include "files.h"
#include "payload/container/little_endian.h"

namespace pelko::packer {
namespace {

struct SectionSpec {
    std::string name;
    std::uint32_t raw_size;
    std::uint32_t raw_at;  // 0: no data in the file
    std::byte fill;
};

constexpr std::uint64_t kPe = 0x80;
constexpr std::uint64_t kOptionalSize = 240;  // PE32+: 112 bytes of fields, 16 directories
constexpr std::uint64_t kTable = kPe + 24 + kOptionalSize;

void put(std::vector<std::byte>& image, std::uint64_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        image[at + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
    }
}

// A PE32+ image with these sections, each filled with its byte, the file ending after the last.
std::vector<std::byte> image_of(const std::vector<SectionSpec>& sections) {
    std::uint64_t end = kTable + 40 * sections.size();
    for (const SectionSpec& s : sections) {
        if (s.raw_at != 0) end = std::max<std::uint64_t>(end, s.raw_at + s.raw_size);
    }
    std::vector<std::byte> image(end);
    image[0] = std::byte{'M'};
    image[1] = std::byte{'Z'};
    put(image, 0x3C, kPe, 4);
    put(image, kPe, 0x00004550, 4);
    put(image, kPe + 6, sections.size(), 2);
    put(image, kPe + 20, kOptionalSize, 2);
    put(image, kPe + 24, 0x20B, 2);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const SectionSpec& s = sections[i];
        const std::uint64_t header = kTable + 40 * i;
        for (std::size_t c = 0; c < s.name.size(); ++c) {
            image[header + c] = static_cast<std::byte>(s.name[c]);
        }
        put(image, header + 8, s.raw_size, 4);                 // virtual size
        put(image, header + 12, 0x1000 * (i + 1), 4);          // address
        put(image, header + 16, s.raw_at ? s.raw_size : 0, 4);  // size in the file
        put(image, header + 20, s.raw_at, 4);
        if (s.raw_at != 0) {
            std::fill_n(image.begin() + s.raw_at, s.raw_size, s.fill);
        }
    }
    return image;
}

std::uint64_t raw_at(const std::vector<std::byte>& image, std::size_t section) {
    return read_le(image, kTable + 40 * section + 20, 4);
}

const std::vector<SectionSpec> kSections = {
    {".text", 0x200, 0x400, std::byte{0x11}},
    {".bss", 0x80, 0, std::byte{0}},
    {".payload", 0x300, 0x600, std::byte{0x22}},
    {".rsrc", 0x200, 0x900, std::byte{0x33}},
};

TEST(PageAlignPayloadSection, MovesThePayloadAndWhatFollowsToAPage) {
    const std::vector<std::byte> image = image_of(kSections);
    const auto aligned = page_align_payload_section(image);
    ASSERT_TRUE(aligned) << aligned.error();
    const std::uint64_t shift = 0x1000 - 0x600;
    ASSERT_EQ(aligned->size(), image.size() + shift);
    EXPECT_EQ(raw_at(*aligned, 0), 0x400u);  // before it: unmoved
    EXPECT_EQ(raw_at(*aligned, 1), 0u);      // no data in the file: unmoved
    EXPECT_EQ(raw_at(*aligned, 2), 0x1000u);
    EXPECT_EQ(raw_at(*aligned, 3), 0x900u + shift);
    // Zeros where the payload was; every section's bytes where its header now says.
    for (std::uint64_t at = 0x600; at < 0x1000; ++at) ASSERT_EQ((*aligned)[at], std::byte{0}) << at;
    const auto section_at = [&](std::size_t i) {
        return std::span(*aligned).subspan(raw_at(*aligned, i), kSections[i].raw_size);
    };
    for (const std::size_t i : {0u, 2u, 3u}) {
        EXPECT_TRUE(std::ranges::all_of(section_at(i),
                                        [&](std::byte b) { return b == kSections[i].fill; }))
            << kSections[i].name;
    }
    const auto place = payload_section_of_exe(*aligned);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->file_offset, 0x1000u);
    // Aligned already: the same bytes.
    EXPECT_EQ(*page_align_payload_section(*aligned), *aligned);
}

TEST(PageAlignPayloadSection, RefusesWhatWouldBeLeftBehind) {
    EXPECT_EQ(page_align_payload_section(image_of({kSections[0], kSections[3]})).error(),
              "the executable has no .payload section");
    auto symbols = image_of(kSections);
    put(symbols, kPe + 12, 0x2000, 4);
    EXPECT_EQ(page_align_payload_section(symbols).error(),
              "it has a COFF symbol table, which would not move");
    auto debug = image_of(kSections);
    put(debug, kPe + 24 + 112 + 6 * 8 + 4, 0x1C, 4);
    EXPECT_EQ(page_align_payload_section(debug).error(),
              "it has a debug directory, whose data would not move with its section");
    EXPECT_EQ(page_align_payload_section(std::vector<std::byte>(0x50, std::byte{1})).error(),
              "not a Windows executable");
}

class AlignSectionCommand : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("align-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path write(const std::vector<std::byte>& bytes) {
        const auto path = dir_ / "setup.exe";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    static std::vector<std::byte> read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::vector<char> chars{std::istreambuf_iterator<char>(in), {}};
        const auto* bytes = reinterpret_cast<const std::byte*>(chars.data());
        return std::vector<std::byte>(bytes, bytes + chars.size());
    }

    std::filesystem::path dir_;
};

TEST_F(AlignSectionCommand, AlignsTheFileInPlaceAndLeavesNothingBeside) {
    const auto image = image_of(kSections);
    const auto exe = write(image);
    align_section(exe);
    EXPECT_EQ(read(exe), *page_align_payload_section(image));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(AlignSectionCommand, RefusesNamingTheFileAndLeavesIt) {
    const auto image = image_of({kSections[0]});
    const auto exe = write(image);
    try {
        align_section(exe);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.text, path_text(exe) + ": the executable has no .payload section");
    }
    EXPECT_EQ(read(exe), image);
}

}  // namespace
}  // namespace pelko::packer
