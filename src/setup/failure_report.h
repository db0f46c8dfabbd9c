#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"
#include "shared/setup_failure.h"

namespace pelko {

inline constexpr std::string_view kMessageCaption = "Pelko Setup";
// The failure of a run whose memory ran out outside the payload's own buffers and lists (which
// say how much they asked for).
inline constexpr std::string_view kMemoryExhaustedText = "not enough memory";
// MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND
inline constexpr std::uint32_t kMessageStyle = 0x00010040;

inline constexpr std::string_view kFailedLine = "failed: {}";
inline constexpr std::string_view kFailureMessage = "Pelko was not installed.\n\n{}";
inline constexpr int kFailureExitCode = 1;

// The end of a failed run, the one place that words it: logs "failed: {text}", shows "Pelko was
// not installed.\n\n{text}" unless in update mode, and returns the exit code the process ends
// with (kFailureExitCode).
[[nodiscard]] int report_failure(Platform& os, const SetupFailure& failure, bool update_mode);

// Shows the installer's only window, a message box captioned "Pelko Setup", and returns when the
// user has closed it.
void show_message(Platform& os, std::string_view text);

}  // namespace pelko
