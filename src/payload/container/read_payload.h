#pragma once

#include <cstddef>
#include <span>

#include "payload/container/payload_entry.h"
#include "payload/container/payload_failure.h"

namespace pelko {

// Splits the container into its entries, in container order. Each entry is: name length
// (16-bit LE), name (UTF-8), data length (32-bit LE), data. The whole container is checked
// before any entry is returned; the first fault ends the reading: cut_short, name_not_utf8 or
// bad_name (see payload_name.h, and name_clash.h for names that Windows would mix up). The container is only borrowed: each entry gets a copy of its bytes.
PayloadResult<EntryList> read_payload(std::span<const std::byte> container);

}  // namespace pelko
