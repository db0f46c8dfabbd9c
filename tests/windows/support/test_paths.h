#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os_string.h"

namespace pelko::test {

// A path of the Linux build as the Windows programs under Wine see it (drive Z:).
std::wstring wine_path(std::string_view unix_path);
// The build directory and files in it, as Windows paths.
std::wstring build_path(std::string_view relative = {});
// The built installer.
std::wstring setup_exe();
// A fresh, empty directory for one test under the build's scratch folder.
std::wstring fresh_directory(std::wstring_view name);
// Creates a directory and its missing parents.
void create_directories(const std::wstring& path);
// Reads a whole file; empty when it cannot be read.
std::string read_file(const std::wstring& path);
bool file_exists(const std::wstring& path);
bool write_file(const std::wstring& path, std::string_view contents);
// Deletes a folder and everything in it, read-only files too, at any depth.
void remove_tree(const std::wstring& path);
// Every file and directory below a folder (not the folder itself), through std::filesystem. A
// link to a directory is listed but not entered (Wine links the user's shell folders to the Unix
// home folder); a folder that cannot be read is passed over. MinGW's directory reading does not
// reach paths of MAX_PATH units or more.
std::vector<std::filesystem::path> paths_below(const std::filesystem::path& root);
// UTF-8 of a wide string (lone surrogates as U+FFFD).
std::string narrow(std::wstring_view text);
// A Windows path as the platform takes it (lone surrogates kept).
OsString os_path(const std::wstring& path);

}  // namespace pelko::test
