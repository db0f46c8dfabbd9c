#include "payload/container/read_payload.h"

#include <gtest/gtest.h>

#include <string>

#include "payload/container/container_format.h"
#include "payload_builder.h"

namespace pelko {
namespace {

using testing::ContainerBuilder;

// The failure text, or "ok" with the entry names joined by '|'.
std::string outcome(const ContainerBuilder& container) {
    const auto read = read_payload(container.bytes);
    if (!read) return read.error().text();
    std::string names = "ok";
    for (const PayloadEntry& e : *read) names += "|" + e.name();
    return names;
}

struct Case {
    const char* what;
    ContainerBuilder container;
    std::string expected;
};

TEST(ReadPayload, StructureTable) {
    const std::string long_name(65535, 'n');
    const Case cases[] = {
        {"empty container", ContainerBuilder{}, "ok"},
        {"two entries", ContainerBuilder{}.entry("a", "1").entry("b", ""), "ok|a|b"},
        {"duplicates kept in order", ContainerBuilder{}.entry("x", "1").entry("y", "").entry("x", "2"),
         "ok|x|y|x"},
        {"longest name, no data", ContainerBuilder{}.entry(long_name, ""), "ok|" + long_name},
        {"one stray byte after the last entry", ContainerBuilder{}.entry("a", "1").raw("\x01"),
         "payload cut short"},
        {"name length only", ContainerBuilder{}.u16(3), "payload cut short"},
        {"name cut short", ContainerBuilder{}.u16(3).raw("ab"), "payload cut short"},
        {"data length missing", ContainerBuilder{}.u16(1).raw("a").raw("\x01\x00\x00"),
         "payload cut short"},
        {"data one byte short", ContainerBuilder{}.u16(1).raw("a").u32(3).raw("xy"),
         "payload cut short"},
        {"largest data length without wrap", ContainerBuilder{}.u16(1).raw("a").u32(0xFFFFFFFF),
         "payload cut short"},
        {"invalid UTF-8 comes before the name test", ContainerBuilder{}.entry("..\xff", ""),
         "name"},
        {"surrogate in UTF-8 is invalid", ContainerBuilder{}.entry("\xed\xa0\x80", ""), "name"},
        {"dotdot at the end, data length missing", ContainerBuilder{}.u16(4).raw("../x"),
         "payload cut short"},
        {"dotdot with too few data bytes", ContainerBuilder{}.u16(4).raw("../x").u32(9).raw("ab"),
         "bad name ../x"},
        {"fault in a later entry discards all", ContainerBuilder{}.entry("a", "1").entry("a..b", ""),
         "bad name a..b"},
    };
    for (const Case& c : cases) EXPECT_EQ(outcome(c.container), c.expected) << c.what;
}

TEST(ReadPayload, FailuresCarryTheKindAndTheNameRefused) {
    const auto failure_of = [](const ContainerBuilder& container) {
        const auto read = read_payload(container.bytes);
        return read ? PayloadFailure{} : read.error();
    };
    EXPECT_EQ(failure_of(ContainerBuilder{}.u16(3).raw("ab")),
              PayloadFailure::of(PayloadFailureKind::cut_short));
    EXPECT_EQ(failure_of(ContainerBuilder{}.entry("..\xff", "")),
              PayloadFailure::of(PayloadFailureKind::name_not_utf8));
    EXPECT_EQ(failure_of(ContainerBuilder{}.entry("a", "1").entry("a..b", "")),
              PayloadFailure::bad("a..b"));
    // A clash names the first entry that makes it, as its text does.
    const PayloadFailure clash =
        failure_of(ContainerBuilder{}.entry("Lib/X.dll", "").entry("lib//x.NEW.", ""));
    EXPECT_EQ(clash.kind, PayloadFailureKind::bad_name);
    EXPECT_EQ(clash.name, "Lib/X.dll");
}

TEST(ContainerFormat, EntryHeadersReadAsFarAsTheStructureGoes) {
    const auto names_of = [](const ContainerBuilder& container) {
        std::string names;
        for (auto header = entry_header_at(container.bytes, 0); header;
             header = entry_header_at(container.bytes, header->next)) {
            names += "|" + std::string(header->name) + ":" + std::to_string(header->data_length);
        }
        return names;
    };
    // Names the reader refuses are still read; a header cut short ends the walk.
    EXPECT_EQ(names_of(ContainerBuilder{}.entry("a", "12").entry("../x", "").entry("b", "3")),
              "|a:2|../x:0|b:1");
    EXPECT_EQ(names_of(ContainerBuilder{}.entry("a", "1").u16(3).raw("ab")), "|a:1");
    EXPECT_EQ(names_of(ContainerBuilder{}.entry("a", "1").u16(1).raw("b").raw("\x01\x00\x00")),
              "|a:1");
    // Data that runs past the end: its header is read, nothing after it.
    EXPECT_EQ(names_of(ContainerBuilder{}.u16(1).raw("a").u32(0xFFFFFFFF).raw("xy")),
              "|a:4294967295");
    EXPECT_EQ(names_of(ContainerBuilder{}), "");
}

TEST(ReadPayload, NameTable) {
    struct Name {
        std::string name;
        bool accepted;
    };
    const Name names[] = {
        // plain relative file paths
        {"pelko.exe", true}, {".hidden", true}, {"dir/file.txt", true}, {"dir\\file.txt", true},
        {"a.b.c", true}, {"sub/.config", true}, {"x/./y", true}, {"a:b", false},
        {std::string("nul\0inside", 10), true}, {"trailing.", true},
        // alternate streams and device names (see payload_name_test.cpp)
        {"ab:c", false}, {"CON", false},
        // dot-dot anywhere
        {"../x", false}, {"a/../b", false}, {"a..b", false}, {"name..", false}, {"..", false},
        // absolute forms
        {"C:\\x", false}, {"c:/x", false}, {"Z:\\", false}, {"\\\\server\\share", false},
        {"//server/share/x", false}, {"\\\\.\\pipe", false}, {"//./x", false},
        {"\\\\?\\C:\\x", false}, {"\\\\?\\", false}, {"//?/x", false},
        // not plain relative file paths
        {"", false}, {"\\x", false}, {"/x", false}, {"C:x", false}, {"c:", false},
        {"\\\\server", false}, {"//", false}, {"dir/", false}, {"dir\\", false}, {".", false},
        {"dir/.", false}, {"a\\.", false},
    };
    for (const Name& n : names) {
        const auto read = read_payload(ContainerBuilder{}.entry(n.name, "data").bytes);
        if (n.accepted) {
            ASSERT_TRUE(read.has_value()) << n.name << ": " << read.error().text();
            ASSERT_EQ(read->size(), 1u);
            EXPECT_EQ((*read)[0].name(), n.name);
        } else {
            ASSERT_FALSE(read.has_value()) << n.name;
            EXPECT_EQ(read.error().text(), "bad name " + n.name);
        }
    }
}

// Names that Windows mixes up: a staging file that is a file of the payload (emptied and carried
// off by the move, the run reporting success), or a directory of it, or a file that is another
// entry's directory (every run failing half-way).
TEST(ReadPayload, NamesThatWindowsMixesUpAreRefused) {
    const auto outcome_of = [](std::initializer_list<std::string_view> names) {
        ContainerBuilder container;
        for (const std::string_view name : names) container.entry(name, "data");
        return outcome(container);
    };
    // Its own staging file, in any case, also once Windows has dropped a trailing blank.
    EXPECT_EQ(outcome_of({"pelko.exe", "a.new", "a.dll"}), "bad name a.new");
    EXPECT_EQ(outcome_of({"notes.NEW"}), "bad name notes.NEW");
    EXPECT_EQ(outcome_of({"sub/a.new "}), "bad name sub/a.new ");
    // Another entry's target, as Windows opens it: trailing dots dropped, letters upcased.
    EXPECT_EQ(outcome_of({"a.dll", "a.new."}), "bad name a.dll");
    EXPECT_EQ(outcome_of({"COPYING", "copying.new. "}), "bad name COPYING");
    EXPECT_EQ(outcome_of({"Lib/X.dll", "lib//x.NEW."}), "bad name Lib/X.dll");
    EXPECT_EQ(outcome_of({"\xc3\x84/x.dll", "\xc3\xa4/x.new."}), "bad name \xc3\x84/x.dll");
    // Letters whose full uppercase is two letters are one name to Windows (U+1F88 and U+1F80).
    EXPECT_EQ(outcome_of({"\u1F88.new.", "\u1F80.dll"}), "bad name \u1F80.dll");
    // A directory of the payload as a staging file, or as a file, in either order.
    EXPECT_EQ(outcome_of({"x.new/readme.txt", "x.dll"}), "bad name x.dll");
    EXPECT_EQ(outcome_of({"x.dll", "X.NEW./readme.txt"}), "bad name x.dll");
    EXPECT_EQ(outcome_of({"a", "a/b"}), "bad name a");
    EXPECT_EQ(outcome_of({"A\\b\\c", "pelko.exe", "a/B."}), "bad name a/B.");
    // A name in short-name form that may be the alias Windows makes up for a name in its
    // folder: as the staging file (NTFS's and Wine's forms), as a folder, as the file.
    EXPECT_EQ(outcome_of({"a.newer", "A~1.dll"}), "bad name A~1.dll");
    EXPECT_EQ(outcome_of({"A~~~~YNS.dll", "a.newer"}), "bad name A~~~~YNS.dll");
    EXPECT_EQ(outcome_of({"Program Files/x.txt", "y/z", "PROGRA~1/x.txt"}),
              "bad name PROGRA~1/x.txt");
    EXPECT_EQ(outcome_of({"sub/readme-long.txt", "sub/README~1.TXT"}), "bad name sub/README~1.TXT");
    // ... but not one in another folder, nor one whose alias begins or ends otherwise, nor a
    // name given twice, nor ordinary names with a '~'.
    EXPECT_EQ(outcome_of({"a.newer", "sub/A~1.dll", "b~1.txt", "x~y.json", "x~y.json",
                          "~readme.txt", "icons/~close.png", "v~1/lib.dll"}),
              "ok|a.newer|sub/A~1.dll|b~1.txt|x~y.json|x~y.json|~readme.txt|icons/~close.png|"
              "v~1/lib.dll");
    // Staging paths shared, a directory shared or named like a staging file of no entry, and
    // names given twice pass.
    EXPECT_EQ(outcome_of({"pelko.exe", "pelko.dll", "pelko.exe", "PELKO.EXE"}),
              "ok|pelko.exe|pelko.dll|pelko.exe|PELKO.EXE");
    EXPECT_EQ(outcome_of({"x.new/readme.txt", "x.new/a", "X.NEW/b", "ab", "a.b/c"}),
              "ok|x.new/readme.txt|x.new/a|X.NEW/b|ab|a.b/c");
    EXPECT_EQ(outcome_of({"a.newer", "b.new.txt"}), "ok|a.newer|b.new.txt");
    // The structure is read first: a later fault is the one reported.
    EXPECT_EQ(outcome(ContainerBuilder{}.entry("a.new", "").raw("\x01")), "payload cut short");
    // Folders many levels deep, in an order where few begin like the name before them, each
    // seen by the check.
    ContainerBuilder deep;
    for (int i = 0; i < 500; ++i) {
        const std::string top = "d" + std::to_string(i % 2 == 0 ? i : 499 - i);
        deep.entry(top + "/e/f/g/h/i/j/k/" + std::to_string(i), "data");
    }
    EXPECT_EQ(outcome(deep.entry("D0/E/F/G/H/i.", "data")), "bad name D0/E/F/G/H/i.");
}

TEST(ReadPayload, EntriesOwnTheirBytesAfterTheContainerIsGone) {
    EntryList entries(heap_memory());
    {
        auto container = ContainerBuilder{}.entry("pelko.exe", "MZ\x90").entry("empty", "")
                             .entry("sub/readme.txt", std::string(1000, 'r')).bytes;
        auto read = read_payload(container);
        ASSERT_TRUE(read.has_value());
        entries = std::move(*read);
        std::fill(container.begin(), container.end(), std::byte{0xEE});
    }
    ASSERT_EQ(entries.size(), 3u);
    const auto text = [](const PayloadEntry& e) {
        return std::string(reinterpret_cast<const char*>(e.data().data()), e.data().size());
    };
    EXPECT_EQ(text(entries[0]), "MZ\x90");
    EXPECT_EQ(entries[1].size(), 0u);
    EXPECT_TRUE(entries[1].data().empty());
    EXPECT_EQ(text(entries[2]), std::string(1000, 'r'));
    EXPECT_EQ(entries[2].size(), 1000u);
}

}  // namespace
}  // namespace pelko
