#pragma once

#include <string_view>

namespace pelko {

// The test every payload name must pass before anything is written. A name is refused when it
// holds ".." anywhere or is an absolute Windows path ('\' and '/' both separators: a drive, colon
// and separator; two separators, a server and a share; the device form, two separators, '.' and
// a separator; the verbatim form "\\?\"), and when it is not a plain relative file path: empty,
// beginning with a separator, beginning with a drive letter and colon, holding any other colon
// (an alternate data stream), with a component that Windows takes for a device (CON, PRN, AUX,
// NUL, COM0-9, LPT0-9, COM or LPT with a superscript 1-3, CONIN$, CONOUT$; any case, any
// extension, trailing spaces before the extension), or with a last component that is empty or
// ".".
bool is_acceptable_payload_name(std::string_view name);

}  // namespace pelko
