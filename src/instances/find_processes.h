#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "shared/product.h"

namespace pelko {

// The names that choose the quit target: only the app itself.
inline constexpr std::array<std::string_view, 1> kAppNameList{kAppExecutableName};
// The names whose processes must all have ended before files are replaced, in this order.
inline constexpr std::array<std::string_view, 2> kWatchList{kAppExecutableName,
                                                            kGuardExecutableName};

// The ids of the records whose executable file name equals one of the names, in snapshot order,
// each id once. Names are equal when they have the same length in bytes and are equal byte by
// byte after mapping 'A'..'Z' onto 'a'..'z'; every other byte (each byte of a non-ASCII character
// included) must be identical.
std::vector<std::uint32_t> filter_processes(std::span<const ProcessRecord> snapshot,
                                            std::span<const std::string_view> names);

// The same over a fresh snapshot of the running processes. A failing snapshot gives an empty
// list.
std::vector<std::uint32_t> find_processes(Platform& os, std::span<const std::string_view> names);

}  // namespace pelko
