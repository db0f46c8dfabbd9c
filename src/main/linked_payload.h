#pragma once

#include "payload/embedded_payload.h"

namespace pelko::win {

// The payload the build linked into this executable's ".payload" section: the stored stream,
// the CRC-32 recorded before it and the index recorded after it.
EmbeddedPayload linked_payload();

}  // namespace pelko::win
