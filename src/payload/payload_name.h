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
    // A component, or the staging file's last one, in the form of the short names that Windows
    // makes up as aliases of long ones: a base of 1 to 8 characters holding a '~' that is not its
    // last character, then nothing or a dot and an extension of up to 3 characters (trailing
    // dots and blanks dropped first, as Windows drops them). NTFS's "PROGRA~1" and "A~1.NEW",
    // Wine's "A~~~~YNS.NEW": such a name may open another file of the payload.
    short_name,
};

// The first rule the name breaks, or NameFault::none.
NameFault payload_name_fault(std::string_view name);

// The test every payload name must pass before anything is written: no NameFault.
bool is_acceptable_payload_name(std::string_view name);

}  // namespace pelko
