#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/platform.h"

namespace pelko {

// The whole run, from the command line to the exit code. Returns 0 for a completed run or when
// another setup is running; a failed step ends the process through report_failure (exit code 1).
// With the CRC-32 the build recorded for the stored payload, the payload is checked against it
// before it is inflated ("payload damaged"); pelko-setup.exe always passes it, and the stream's
// index as the build recorded it (see payload/stream_index.h), which only makes the inflating
// faster: a missing or unusable index changes nothing else.
int run_setup(Platform& os, std::span<const std::byte> stored_payload,
              std::optional<std::uint32_t> stored_crc32 = std::nullopt,
              std::span<const std::byte> stream_index = {});

}  // namespace pelko
