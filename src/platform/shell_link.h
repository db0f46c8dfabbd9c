#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelko {

// A COM result: negative for a failure.
using HResult = std::int32_t;

// A Shell link file as the installer writes it (texts in UTF-8).
struct ShellLink {
    std::string file;                              // where the link is saved (replaced if there)
    std::string target;                            // the program it starts
    std::optional<std::string> working_directory;  // the folder it starts in; unset when absent
    std::string icon;                              // the file whose icon it shows
    int icon_index = 0;
    std::string description;
    friend bool operator==(const ShellLink&, const ShellLink&) = default;
};

// A link that could not be saved: the HRESULT of the first call that failed (negative) and the
// error's text form (shortcut_error_text), made while the error's information was still alive.
struct ShortcutError {
    HResult result = 0;
    std::string text;
};

// "{message} ({hresult})", or the HRESULT form alone when the message is empty once its trailing
// tab, line feed, vertical tab, form feed, carriage return and blank characters are cut; lone
// surrogates of the message show as U+FFFD. The HRESULT form is "0x" and the 32-bit code in
// eight upper-case hexadecimal digits, e.g. "0x80004003".
std::string shortcut_error_text(HResult result, std::u16string_view message);

}  // namespace pelko
