#pragma once

#include <cstdint>
#include <string>

#include "platform/os_error.h"
#include "platform/platform.h"

namespace pelko {

// "{system message} (os error {code})". A code with bit 0x10000000 set is looked up, without
// that bit, in ntdll's table as well. When there is no message:
// "OS Error {code} (FormatMessageW() returned error {error})"; when the message is not valid
// UTF-16: "OS Error {code} (FormatMessageW() returned invalid UTF-16)".
std::string os_error_text(Platform& os, std::uint32_t code);

// The text of a failed platform operation: the OS error text, or the NUL text.
std::string error_text(Platform& os, const OsError& error);

}  // namespace pelko
