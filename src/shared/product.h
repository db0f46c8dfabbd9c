#pragma once

#include <string_view>

#include "shared/product_version.h"  // kProductVersion, made by the build from PELKO_VERSION

namespace pelko {

// Built-in names of the product; there is no configuration.
inline constexpr std::string_view kSetupMutexName = "Local\\PelkoSetup";
inline constexpr std::string_view kInstallSubdirectory = "Programs\\Pelko";
inline constexpr std::string_view kLogSubdirectory = "Pelko\\logs";
inline constexpr std::string_view kLogFileName = "setup.log";
inline constexpr std::string_view kAppExecutableName = "pelko.exe";
inline constexpr std::string_view kGuardExecutableName = "pelko-guard.exe";

}  // namespace pelko
