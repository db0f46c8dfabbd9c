// pelko-pack's reading of its sources on Windows (its volume serial number, file index, size and
// last write time, through its one handle and by its path): a source that grows while the packer
// reads it, or that another file is moved over once it was read (Wine refuses to move a file over
// one that is open), fails the pack with its line and leaves no output.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "container_layout.h"
#include "files.h"
#include "pack.h"
#include "progress.h"

namespace pelko {
namespace {

namespace fs = std::filesystem;

TEST(PackerSources, AReplacedOrGrownSourceFailsThePackAndLeavesNoOutput) {
    const fs::path dir = fs::temp_directory_path() / "pelko-packer-sources";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path source = dir / "app.bin";
    const std::string data(9 << 20, 'p');  // two parts, read one after the other
    struct Change {
        std::function<void()> make;
        bool after_last_read;  // else after the first
        std::string what;
    };
    const Change changes[] = {
        {[&] { std::ofstream(source, std::ios::binary | std::ios::app) << "more"; }, false,
         "its size went from 9437184 to 9437188 bytes"},
        {[&] {
             std::ofstream(dir / "new.bin", std::ios::binary) << data;
             fs::rename(dir / "new.bin", source);
         },
         true, "replaced by another file"}};
    for (const Change& change : changes) {
        std::ofstream(source, std::ios::binary) << data;
        auto layout = packer::ContainerLayout::of({{"app.bin", source, 1}});
        ASSERT_TRUE(layout);
        bool made = false;
        layout->after_each_read([&](std::uint64_t reached) {
            if (!made && (reached == layout->size()) == change.after_last_read) {
                change.make();
                made = true;
            }
        });
        packer::Progress quiet(nullptr, layout->size(), layout->entry_count());
        const auto packed =
            packer::pack_to_files(*layout, dir / "payload.bin", dir / "payload.section", 1, quiet);
        ASSERT_FALSE(packed) << change.what;
        EXPECT_EQ(packed.error().line, 1);
        EXPECT_EQ(packed.error().text, packer::path_text(source) +
                                           ": changed while it was packed (" + change.what + ")");
        std::vector<fs::path> left;
        for (const auto& entry : fs::directory_iterator(dir)) left.push_back(entry.path());
        EXPECT_EQ(left, std::vector<fs::path>{source}) << change.what;
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace pelko
