#pragma once

#include <string_view>

namespace pelko {

// Windows gives a file whose name is not a valid 8.3 name a second, short name of its own (its
// alias), and opens the file under either. NTFS makes "PROGRA~1" or "A~1.NEW": up to six leading
// characters, '~' and digits, or two characters and four hex digits before the '~'; Wine makes
// "A~~~~YNS.NEW": up to four leading characters, then '~'s and three hash characters. Either way
// the alias begins with the long name's first character (blanks and leading dots dropped,
// "+,;=[]" written '_') and its extension is the start of the long name's. The functions below
// take one component of a path, with its trailing dots and blanks dropped as Windows drops them.

// A component in the form of such an alias: a base of 1 to 8 characters holding a '~' that is
// not its last character, then nothing or a dot and an extension of up to 3 characters.
bool is_short_name_form(std::string_view component);

// A component that Windows gives an alias: it is not a valid 8.3 name (a base of 1 to 8 and an
// extension of up to 3 ASCII characters that short names may hold, letter case aside).
bool gets_short_alias(std::string_view component);

// True when an alias that Windows makes up for `long_name` could be `short_form` (a component in
// short-name form): both begin with the same character, or either begins with one that short
// names write as '_' (a non-ASCII character, '_' itself, a blank or a dot of the long name), and
// the short form's extension is the start of the long name's, character by character with the
// same allowance. It errs on the side of a match, never the other way.
bool could_be_short_alias(std::string_view short_form, std::string_view long_name);

// The component with its trailing dots and blanks dropped.
std::string_view without_trailing_dots_and_blanks(std::string_view component);

}  // namespace pelko
