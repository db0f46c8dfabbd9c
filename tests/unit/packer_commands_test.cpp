// The packer's commands on files in a folder of their own: what they write, the texts they give
// and their refusals. (tools/packer/round_trip_test.cmake runs the built program: exit codes,
// standard output against standard error, stops by a signal.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "extract.h"
#include "files.h"
#include "listing.h"
#include "pack_command.h"
#include "payload_builder.h"
#include "payload_file.h"
#include "prepare.h"

namespace pelko::packer {
namespace {

namespace fs = std::filesystem;
using testing::ContainerBuilder;
using testing::raw_deflate;

class PackerCommands : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        work_ = fs::path(::testing::TempDir()) /
                (std::string("packer-") + test->test_suite_name() + "-" + test->name());
        fs::remove_all(work_);
        fs::create_directories(work_ / "src" / "sub");
        write("src/app.bin", "MZ application bytes\n");
        std::string big;
        for (int i = 0; i < 20000; ++i) big += "pelko ";
        write("src/big.txt", big);
        write("src/empty.dat", "");
        write("src/sub/readme.txt", "read me\r\nsecond line\n");
        // A CRLF line, a blank line, an absolute source.
        write("manifest.txt", "pelko.exe\tsrc/app.bin\r\nbig.txt\tsrc/big.txt\n\nempty.dat\t" +
                                  path_text(work_ / "src/empty.dat") +
                                  "\nsub/readme.txt\tsrc/sub/readme.txt\n");
    }
    void TearDown() override { fs::remove_all(work_); }

    fs::path at(const std::string& name) const { return work_ / name; }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(at(name), std::ios::binary) << text;
    }
    void write(const std::string& name, const std::vector<std::byte>& bytes) const {
        std::ofstream(at(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    std::string read(const fs::path& path) const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string pack(const std::string& manifest, const std::string& output,
                     PackOptions options = {}) const {
        return pack_manifest(at(manifest), at(output), std::move(options), nullptr);
    }
    // The text of the Failure the call throws, with this test's folder left out; "" when none.
    template <class Call>
    std::string refusal(Call call) const {
        try {
            call();
        } catch (const Failure& failure) {
            std::string text = failure.text;
            const std::string folder = path_text(work_) + "/";
            for (std::size_t i; (i = text.find(folder)) != std::string::npos;) {
                text.erase(i, folder.size());
            }
            return text;
        }
        return "";
    }
    // A payload of these entries (each holding "1"), deflated by zlib.
    std::vector<std::byte> payload_of(std::initializer_list<std::string_view> names) const {
        ContainerBuilder container;
        for (const std::string_view name : names) container.entry(name, "1");
        return raw_deflate(container.bytes);
    }
    std::string packed_listing(const std::string& output) const {
        return listing_text(open_payload(at(output)));
    }

    fs::path work_;
};

TEST_F(PackerCommands, PackedPayloadReadsBackInItsListingsAndSection) {
    PackOptions with_section;
    with_section.section = at("packed.section");
    const std::string summary = pack("manifest.txt", "payload.bin", with_section);
    EXPECT_TRUE(summary.starts_with(path_text(at("payload.bin")) + ": 4 entries, container "))
        << summary;

    const OpenedPayload opened = open_payload(at("payload.bin"));
    const std::string listing = listing_text(opened);
    EXPECT_TRUE(listing.starts_with("pelko.exe\t21\nbig.txt\t120000\nempty.dat\t0\n"
                                    "sub/readme.txt\t21\n4 entries, 120042 bytes of file data, "
                                    "container 120105 bytes, stored "))
        << listing;
    // The CRC-32 of the stored payload: in the listing, and at the head of the section.
    const std::string section = read(at("packed.section"));
    char crc[9];
    std::snprintf(crc, sizeof crc, "%02x%02x%02x%02x", static_cast<unsigned char>(section[3]),
                  static_cast<unsigned char>(section[2]), static_cast<unsigned char>(section[1]),
                  static_cast<unsigned char>(section[0]));
    EXPECT_NE(listing.find("\nCRC-32 " + std::string(crc) + "\n"), std::string::npos) << listing;
    // The section pack writes from the cuts it made is the one prepare reads off the stream.
    EXPECT_EQ(prepare_payload(at("payload.bin"), at("prepared.section"), true),
              path_text(at("prepared.section")) + ": 1 piece(s)");
    EXPECT_EQ(read(at("prepared.section")), section);

    const auto json = nlohmann::json::parse(listing_json(opened));
    EXPECT_EQ(json["kind"], "payload");
    EXPECT_EQ(json["entry_count"], 4);
    EXPECT_EQ(json["file_data_bytes"], 120042);
    EXPECT_EQ(json["crc32"], crc);
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"pelko.exe", "2e3baf10a9089ea87e2af421852efeaeb0618dffe306d46cf2d867360ef9a218"},
        {"big.txt", "8715e1211fbf7498b7ac9c5a801832527f3e4368cc2ec2a7b2b4de957f5314e2"},
        {"empty.dat", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"sub/readme.txt", "a22c83e8956c3fd074fb1cac3213eefcd3b2e40a939d6c8db81f64eb7a7edf8e"},
    };
    ASSERT_EQ(json["entries"].size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(json["entries"][i]["name"], entries[i].first);
        EXPECT_EQ(json["entries"][i]["size"], opened.entries[i].size());
        EXPECT_EQ(json["entries"][i]["sha256"], entries[i].second);
    }
}

TEST_F(PackerCommands, DiffTellsAddedChangedAndRemovedAsWindowsPairsFiles) {
    write("src/app2.bin", "MZ application bytes, version 2\n");
    write("src/new.txt", "new file\n");
    write("manifest2.txt", "new.txt\tsrc/new.txt\npelko.exe\tsrc/app2.bin\nbig.txt\tsrc/big.txt\n"
                           "sub/readme.txt\tsrc/sub/readme.txt\n");
    write("manifest3.txt", "new.txt\tsrc/new.txt\nPelko.EXE\tsrc/app2.bin\n");
    pack("manifest.txt", "payload.bin");
    pack("manifest2.txt", "payload2.bin");
    pack("manifest3.txt", "payload3.bin");
    const OpenedPayload one = open_payload(at("payload.bin"));
    const OpenedPayload two = open_payload(at("payload2.bin"));
    EXPECT_EQ(difference_text(one, two),
              "added    new.txt (9 bytes)\nchanged  pelko.exe (21 -> 32 bytes)\n"
              "removed  empty.dat (0 bytes)\n");
    EXPECT_EQ(difference_text(one, one), "");
    EXPECT_EQ(difference_text(two, open_payload(at("payload3.bin"))),
              "changed  Pelko.EXE (named pelko.exe before; 32 -> 32 bytes)\n"
              "removed  big.txt (120000 bytes)\nremoved  sub/readme.txt (21 bytes)\n");
}

TEST_F(PackerCommands, ExtractGivesBackEveryFileAndNothingElse) {
    pack("manifest.txt", "payload.bin");
    std::vector<std::string> told;
    extract_payload(at("payload.bin"), at("out"),
                    [&](const fs::path& written) { told.push_back(path_text(written)); });
    EXPECT_EQ(told, (std::vector<std::string>{
                        path_text(at("out/pelko.exe")), path_text(at("out/big.txt")),
                        path_text(at("out/empty.dat")), path_text(at("out/sub/readme.txt"))}));
    for (const auto& [name, source] : {std::pair{"pelko.exe", "src/app.bin"},
                                       {"big.txt", "src/big.txt"},
                                       {"empty.dat", "src/empty.dat"},
                                       {"sub/readme.txt", "src/sub/readme.txt"}}) {
        EXPECT_EQ(read(at("out") / name), read(at(source))) << name;
    }
    // Names like temporaries: each file written under a name no file of a payload can have.
    write("src/new.txt", "new file\n");
    write("tmp-names.txt",
          "notes.tmp\tsrc/new.txt\nnotes\tsrc/app.bin\nnotes.partial\tsrc/big.txt\n");
    pack("tmp-names.txt", "tmp-names.bin");
    extract_payload(at("tmp-names.bin"), at("tmp-out"), [](const fs::path&) {});
    std::vector<std::string> left;
    for (const auto& file : fs::directory_iterator(at("tmp-out"))) {
        left.push_back(path_text(file.path().filename()));
    }
    std::ranges::sort(left);
    EXPECT_EQ(left, (std::vector<std::string>{"notes", "notes.partial", "notes.tmp"}));
    EXPECT_EQ(read(at("tmp-out/notes.tmp")), "new file\n");
    EXPECT_EQ(read(at("tmp-out/notes")), read(at("src/app.bin")));
    EXPECT_EQ(read(at("tmp-out/notes.partial")), read(at("src/big.txt")));
}

TEST_F(PackerCommands, ManifestsWithoutFilesOrWithAByteOrderMark) {
    write("empty-manifest.txt", "\n");
    EXPECT_EQ(refusal([&] { pack("empty-manifest.txt", "refused.bin"); }),
              "empty-manifest.txt: no files (give --allow-empty to pack an empty payload)");
    EXPECT_FALSE(fs::exists(at("refused.bin")));
    PackOptions allow_empty;
    allow_empty.allow_empty = true;
    pack("empty-manifest.txt", "empty-payload.bin", allow_empty);
    EXPECT_TRUE(packed_listing("empty-payload.bin").starts_with("0 entries, 0 bytes"));
    // The mark is no part of the first name.
    write("bom.txt", "\xEF\xBB\xBFpelko.exe\tsrc/app.bin\nsub/readme.txt\tsrc/sub/readme.txt\n");
    pack("bom.txt", "bom.bin");
    EXPECT_TRUE(packed_listing("bom.bin").starts_with("pelko.exe\t21\nsub/readme.txt\t21\n2 entries"));
}

TEST_F(PackerCommands, RefusedManifestsNameTheirLinesAndWriteNothing) {
    struct Case {
        std::string manifest;
        std::string refusal;
    };
    const std::string long_name(65536, 'n');
    const Case cases[] = {
        {"ok.txt\tsrc/app.bin\n../evil.txt\tsrc/app.bin\n", "m.txt:2: bad name ../evil.txt"},
        {"C:evil.txt\tsrc/app.bin\n", "m.txt:1: bad name C:evil.txt"},
        {"sub/\tsrc/app.bin\n", "m.txt:1: bad name sub/"},
        {"ok.txt\tsrc/app.bin\nsub/Con.txt\tsrc/app.bin\n", "m.txt:2: bad name sub/Con.txt"},
        {"notes.txt:hidden\tsrc/app.bin\n", "m.txt:1: bad name notes.txt:hidden"},
        {"a.txt\tsrc/not-there.bin\n", "m.txt:1: src/not-there.bin: no such file"},
        {"a.txt\tsrc/sub\n", "m.txt:1: src/sub: a directory, not a file"},
        {"a.txt src/app.bin\n", "m.txt:1: expected"},
        {long_name + "\tsrc/app.bin\n", "m.txt:1: name too long for 16 bits (65536 bytes)"},
        {"a.new\tsrc/app.bin\na.dll\tsrc/app.bin\nok.txt\tsrc/app.bin\n",
         "m.txt:1: bad name a.new: it is written first as a.new, which is the file itself"},
        {"a.new\tsrc/app.bin\na.dll\tsrc/app.bin\nok.txt\tsrc/app.bin\n",
         "m.txt:2: bad name a.dll: it is written first as a.new, which is the file a.new (line 1)"},
    };
    for (const Case& c : cases) {
        write("m.txt", c.manifest);
        const std::string text = refusal([&] { pack("m.txt", "refused.bin"); });
        EXPECT_NE(text.find(c.refusal), std::string::npos) << text;
    }
    // Names Windows mixes up or cannot create: every line reported, with its number, at once.
    write("m.txt", "a<b.txt\tsrc/app.bin\nx.new/readme.txt\tsrc/app.bin\nx.dll\tsrc/app.bin\n"
                   "readme.\tsrc/app.bin\nlib/a.dll\tsrc/app.bin\nLIB/A.DLL\tsrc/app.bin\n"
                   "lib\tsrc/app.bin\ntab\x01.txt\tsrc/app.bin\n");
    EXPECT_EQ(refusal([&] { pack("m.txt", "refused.bin"); }),
              "m.txt:1: bad name a<b.txt (holds <, which Windows does not allow in a file name)\n"
              "m.txt:3: bad name x.dll: it is written first as x.new, which is a directory of "
              "x.new/readme.txt (line 2) (the installer writes each file beside its target with "
              "the extension \"new\" and then moves it over the target)\n"
              "m.txt:4: bad name readme. (the component \"readme.\" ends in a dot or a blank, "
              "which Windows drops)\n"
              "m.txt:6: LIB/A.DLL is the file of lib/a.dll (line 5) under Windows' name rules "
              "(letter case, trailing dots and blanks do not count)\n"
              "m.txt:7: bad name lib: it is also a directory of lib/a.dll (line 5)\n"
              "m.txt:8: bad name tab\\x01.txt (holds the control character U+0001, which "
              "Windows does not allow in a file name)");
    EXPECT_NE(refusal([&] { pack("none.txt", "refused.bin"); }).find("cannot read the manifest"),
              std::string::npos);
    // A file over 4 GiB (sparse), refused before anything is read.
    std::ofstream(at("src/huge.bin")).close();
    std::error_code sparse;
    fs::resize_file(at("src/huge.bin"), std::uint64_t{1} << 32, sparse);
    if (!sparse) {
        write("m.txt", "huge.bin\tsrc/huge.bin\n");
        EXPECT_EQ(refusal([&] { pack("m.txt", "refused.bin"); }),
                  "m.txt:1: src/huge.bin: file over 4 GiB (4294967296 bytes)");
    }
    EXPECT_FALSE(fs::exists(at("refused.bin")));
    EXPECT_FALSE(fs::exists(at("refused.bin..partial")));
}

TEST_F(PackerCommands, PrepareChecksAsTheInstallerReadsAndWritesTheSection) {
    // An empty payload (the raw DEFLATE stream 03 00) is one.
    write("empty.bin", std::string("\x03\x00", 2));
    EXPECT_EQ(prepare_payload(at("empty.bin"), at("empty.section"), true),
              path_text(at("empty.section")) + ": 1 piece(s)");
    EXPECT_TRUE(packed_listing("empty.bin")
                    .starts_with("0 entries, 0 bytes of file data, container 0 bytes, stored 2 "
                                 "bytes\n"));
    write("junk.bin", "this is not a deflate stream at all");
    EXPECT_TRUE(refusal([&] { prepare_payload(at("junk.bin"), at("junk.section"), true); })
                    .starts_with("junk.bin: not a raw DEFLATE stream that inflates "
                                 "(DecompressError { status: Failed, output: ["));
    // A sound stream of a container the installer refuses: the installer's own text.
    write("refused-names.bin", payload_of({"ok.txt", "../x"}));
    EXPECT_EQ(refusal([&] {
                  prepare_payload(at("refused-names.bin"), at("refused.section"), true);
              }),
              "refused-names.bin: bad name ../x");
    // What the installer reads but Windows cannot create, and names Windows mixes up (both
    // named); a name given twice is the installer's to take.
    write("odd.bin", payload_of({"ok.txt", "what?.txt"}));
    EXPECT_EQ(refusal([&] { prepare_payload(at("odd.bin"), at("refused.section"), true); }),
              "odd.bin: bad name what?.txt (holds ?, which Windows does not allow in a file name)");
    write("clash.bin", payload_of({"x.new/a", "x.dll"}));
    EXPECT_TRUE(refusal([&] { prepare_payload(at("clash.bin"), at("refused.section"), true); })
                    .starts_with("clash.bin: bad name x.dll: it is written first as x.new, which "
                                 "is a directory of x.new/a"));
    EXPECT_FALSE(fs::exists(at("refused.section")));
    write("twice.bin", payload_of({"a.dll", "A.DLL", "a.dll"}));
    EXPECT_EQ(refusal([&] { prepare_payload(at("twice.bin"), at("twice.section"), true); }), "");
    // Unchecked, both are made ready as they are; junk has no index.
    EXPECT_EQ(refusal([&] {
                  prepare_payload(at("refused-names.bin"), at("refused.section"), false);
              }),
              "");
    EXPECT_EQ(prepare_payload(at("junk.bin"), at("junk.section"), false),
              path_text(at("junk.section")) + ": 0 piece(s)");
    EXPECT_EQ(fs::file_size(at("junk.section")), fs::file_size(at("junk.bin")) + 8);
}

TEST_F(PackerCommands, WhatIsNoPayloadIsToldSo) {
    write("junk.bin", "this is not a deflate stream at all");
    EXPECT_EQ(refusal([&] { open_payload(at("junk.bin")); }),
              "junk.bin: not a payload or an installer (its data does not inflate)");
    EXPECT_EQ(refusal([&] { open_payload(at("manifest.txt")); }),
              "manifest.txt: not a payload or an installer (its data does not inflate)");
    pack("manifest.txt", "payload.bin");
    const std::string whole = read(at("payload.bin"));
    write("truncated.bin", whole.substr(0, whole.size() / 2));
    EXPECT_EQ(refusal([&] { open_payload(at("truncated.bin")); }),
              "truncated.bin: not a payload or an installer (its data ends before its stream "
              "does: cut short?)");
    EXPECT_EQ(refusal([&] { open_payload(at("nothing.bin")); }), "nothing.bin: no such file");
    write("fake.exe", "MZ but nothing else");
    EXPECT_EQ(refusal([&] { open_payload(at("fake.exe")); }),
              "fake.exe: not a Windows executable");
    // A container the installer refuses: its own words.
    write("bad.bin", payload_of({"ok.txt", "a..b"}));
    EXPECT_EQ(refusal([&] { open_payload(at("bad.bin")); }), "bad.bin: bad name a..b");
}

}  // namespace
}  // namespace pelko::packer
