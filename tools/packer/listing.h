#pragma once

#include <string>

#include "payload_file.h"

namespace pelko::packer {

// `pelko-pack list`: the entries with their sizes, a line each ("{name}\t{size}"), then the
// totals ("{n} entries, {n} bytes of file data, container {n} bytes, stored {n} bytes"), the
// CRC-32 and, of an installer, its product version; each line ends in "\n".
std::string listing_text(const OpenedPayload& payload);

// One JSON document: the entries in install order (name, size, SHA-256 of the data), the
// totals, the stored size, the CRC-32, for an installer the recorded CRC-32, the number of
// pieces of its index and its product version, and the version of this packer.
std::string listing_json(const OpenedPayload& payload);

// The files added, removed and changed from `before` to `after`, one line each: the changed and
// added ones in the install order of `after`, then the removed ones in that of `before`. Names
// are paired as Windows finds the files (file_name_key: a file whose name changed only in letter
// case is changed, not removed and added); a file given twice counts as its last entry, the
// file a run leaves. Each line ends in "\n"; empty when they do not differ.
std::string difference_text(const OpenedPayload& before, const OpenedPayload& after);

}  // namespace pelko::packer
