#pragma once

#include "payload/unpack/embedded_payload.h"

namespace pelko::win {

// The payload the build linked into this executable's ".payload" section (see
// payload/unpack/payload_section.h): the stored stream, its CRC-32 and its index.
EmbeddedPayload linked_payload();

}  // namespace pelko::win
