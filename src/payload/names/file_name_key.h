#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace pelko {

// The form (UTF-16) in which Windows tells two relative paths (UTF-8) apart when it opens them:
// two paths name the same file when their keys are equal. '\' and '/' are one separator
// (written '\'); empty and "." components are dropped; trailing dots and blanks of every
// component are dropped (Windows drops those of the last one, and one dot of the others);
// letters are upcased as the file system does it when it compares names, one UTF-16 unit at a
// time across the Basic Multilingual Plane (Unicode's simple uppercase mapping). Where this is
// coarser than Windows, two names count as the same file that Windows would keep apart, never
// the reverse.
std::u16string file_name_key(std::string_view relative_path);

// The same key written into `out`, which has room for one unit per byte of the path (a key is
// never longer); its length. Needs no memory of its own.
std::size_t write_file_name_key(std::string_view relative_path, std::span<char16_t> out);

}  // namespace pelko
