#include "platform/windows/wide.h"
#include "platform/windows/win32_error.h"

#include <windows.h>

namespace pelko::win {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

bool is_sep(wchar_t c) { return c == L'\\' || c == L'/'; }

bool is_absolute(std::wstring_view p) {
    if (p.size() >= 3 && ((p[0] >= L'A' && p[0] <= L'Z') || (p[0] >= L'a' && p[0] <= L'z')) &&
        p[1] == L':' && is_sep(p[2])) {
        return true;
    }
    return p.size() >= 2 && is_sep(p[0]) && is_sep(p[1]);
}

}  // namespace

std::wstring to_wide(const OsString& s) {
    const std::u16string u = s.to_utf16();
    return std::wstring(u.begin(), u.end());
}

std::wstring to_wide(std::string_view utf8_text) { return to_wide(OsString::from_utf8(utf8_text)); }

OsString from_wide(std::wstring_view units) {
    return OsString::from_utf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(units.data()), units.size()));
}

std::string wide_to_text(std::wstring_view units) {
    return utf16_to_text(
        std::u16string_view(reinterpret_cast<const char16_t*>(units.data()), units.size()));
}

OsResult<std::wstring> to_wide_checked(const OsString& s) {
    if (s.contains_nul()) return std::unexpected(OsError::nul());
    return to_wide(s);
}

OsResult<std::wstring> file_path(const OsString& path) {
    OsResult<std::wstring> wide = to_wide_checked(path);
    if (!wide) return wide;
    const std::wstring& p = *wide;
    if (p.starts_with(L"\\\\?\\")) return wide;
    if (is_absolute(p) && p.size() < 248) return wide;

    std::wstring full(p.size() + 64, L'\0');
    for (;;) {
        const DWORD n = GetFullPathNameW(p.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                         nullptr);
        if (n == 0) return std::unexpected(win32_error(GetLastError()));
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.resize(n);
    }
    if (full.starts_with(L"\\\\.\\") || full.starts_with(L"\\\\?\\")) return full;
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace pelko::win
