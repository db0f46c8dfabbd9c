#pragma once

#include <windows.h>

#include "platform/shell_link.h"

namespace pelko::win {

// The error of a Shell link call that failed with `result`, made at once: the calling thread's
// error information when it has one (its restricted description, else its description, else
// IErrorInfo's description), else the system's message for the HRESULT (ntdll's table for an
// NT status), in the text form of shortcut_error_text.
ShortcutError shell_link_error(HRESULT result);

}  // namespace pelko::win
