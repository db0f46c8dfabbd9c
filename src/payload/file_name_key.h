#pragma once

#include <string>
#include <string_view>

namespace pelko {

// The form (UTF-16) in which Windows tells two relative paths (UTF-8) apart when it opens them: two paths
// name the same file when their keys are equal. '\' and '/' are one separator; empty and "."
// components are dropped; trailing dots and blanks of every component are dropped (Windows drops
// those of the last one, and one dot of the others); letters are upcased as the file system does
// it when it compares names, across the Basic Multilingual Plane. Where this is coarser than
// Windows, two names count as the same file that Windows would keep apart, never the reverse.
std::u16string file_name_key(std::string_view relative_path);

}  // namespace pelko
