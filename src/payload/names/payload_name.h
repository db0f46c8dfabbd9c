#pragma once

#include <string_view>

namespace pelko {

// Why a payload name is refused before anything is written, in the order the rules are tried.
enum class NameFault {
    none,
    // ".." anywhere.
    dot_dot,
    // An absolute Windows path ('\' and '/' both separators): a drive, colon and separator; two
    // separators, a server and a share; the device form, two separators, '.' and a separator;
    // the verbatim form "\\?\".
    absolute,
    // Not a plain relative file path: empty, beginning with a separator or with a drive letter
    // and colon, or with a last component that is empty or ".".
    not_plain,
    // Any other colon: an alternate data stream of another file ("a.txt:x").
    stream,
    // A component that Windows takes for a device (CON, PRN, AUX, NUL, COM0-9, LPT0-9, COM or
    // LPT with a superscript 1-3, CONIN$, CONOUT$; any case, any extension, trailing spaces
    // before the extension).
    device,
};

// The first rule the name breaks, or NameFault::none.
NameFault payload_name_fault(std::string_view name);

// The test every payload name must pass before anything is written: no NameFault.
bool is_acceptable_payload_name(std::string_view name);

}  // namespace pelko
