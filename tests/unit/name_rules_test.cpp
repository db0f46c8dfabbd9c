// The packer's words for payload names the installer would refuse: a build names both entries.
#include "name_rules.h"

#include <gtest/gtest.h>

#include <array>

namespace pelko::packer {
namespace {

TEST(PackerNameRules, AnAliasPairNamesBothEntriesAndOrdinaryTildeNamesPass) {
    const auto label = [](std::size_t i) { return " (line " + std::to_string(i + 1) + ")"; };
    const std::array<std::string_view, 3> alias = {"pelko.exe", "a.newer", "A~1.dll"};
    const std::vector<NameProblem> problems = clash_problems(alias, label);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].entry, 2u);
    EXPECT_EQ(problems[0].text,
              "bad name A~1.dll: it is written first as A~1.new, whose name has the form of a "
              "short name that Windows may make up for a name of a.newer (line 2) in the same "
              "folder, and would then open that file");

    const std::array<std::string_view, 6> ordinary = {
        "~readme.txt", "icons/~close.png", "a~b.txt", "v~1/lib.dll", "my~app.json", "pelko.exe"};
    EXPECT_TRUE(clash_problems(ordinary, label).empty());
    for (const std::string_view name : ordinary) EXPECT_TRUE(check_manifest_name(name)) << name;
}

}  // namespace
}  // namespace pelko::packer
