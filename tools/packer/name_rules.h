#pragma once

#include <cstddef>
#include <expected>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pelko::packer {

// The name as it can be shown on a terminal: control characters as \xNN.
std::string shown_name(std::string_view name);

// Why the file cannot be created under this name on Windows: it holds one of < > " | ? * or a
// control character (NUL included); nothing when it can.
std::expected<void, std::string> check_windows_characters(std::string_view name);

// Why the installer would refuse the name (over 65,535 bytes, not UTF-8, "..", absolute, not a
// plain relative file path, an alternate stream, a device) or Windows could
// not create its file (check_windows_characters), or nothing when it is fine: "bad name {name}
// ({reason})".
std::expected<void, std::string> check_name(std::string_view name);

// check_name, and also what a manifest may not name because Windows would install the file
// under another name: an empty component ("a//b"), or one that ends in a dot or a blank
// ("readme.", "dir /x", "x/./y"), which Windows drops.
std::expected<void, std::string> check_manifest_name(std::string_view name);

// A problem of one name of a list: which, and what.
struct NameProblem {
    std::size_t entry = 0;
    std::string text;
};

// The names among `names` that Windows would mix up when installing them (see
// payload/names/name_clash.h), in install order, with `label(i)` naming the other entry (" (line 3)",
// say): "bad name x.dll: it is written first as x.new, which is a directory of
// x.new/readme.txt{label} (...)".
std::vector<NameProblem> clash_problems(std::span<const std::string_view> names,
                                        const std::function<std::string(std::size_t)>& label);

// Later names that Windows takes for the file of an earlier one (letter case, trailing dots
// and blanks: "a.dll" and "A.DLL"): "{later} is the file of {earlier}{label} under Windows' name
// rules (...)".
std::vector<NameProblem> same_file_problems(std::span<const std::string_view> names,
                                            const std::function<std::string(std::size_t)>& label);

}  // namespace pelko::packer
