// The name key against Windows' own comparison of file names, on every unit of the Basic
// Multilingual Plane: two units that Windows takes for one letter when it compares names
// (RtlUpcaseUnicodeChar, which CompareStringOrdinal ignoring case also compares) have one key.
#include <windows.h>

#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "payload/names/file_name_key.h"
#include "platform/os_string.h"

namespace pelko {
namespace {

std::u16string key_of(wchar_t unit) {
    const std::u16string units(1, static_cast<char16_t>(unit));
    return file_name_key(OsString::from_utf16(units).wtf8());
}

TEST(NameKey, EveryTwoUnitsWindowsTakesForOneLetterHaveOneKey) {
    using Upcase = WCHAR(WINAPI*)(WCHAR);
    const auto upcase = reinterpret_cast<Upcase>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlUpcaseUnicodeChar")));
    ASSERT_NE(upcase, nullptr);
    int folded = 0;
    int coarser = 0;
    for (unsigned code = 1; code < 0x10000; ++code) {
        // Separators, dots and blanks are not letters of a name; surrogates are halves.
        if ((code >= 0xD800 && code <= 0xDFFF) || code == '/' || code == '\\' || code == '.' ||
            code == ' ') {
            continue;
        }
        const auto unit = static_cast<wchar_t>(code);
        const wchar_t upper = upcase(unit);
        ASSERT_EQ(CompareStringOrdinal(&unit, 1, &upper, 1, TRUE), CSTR_EQUAL) << std::hex << code;
        if (upper == unit) continue;
        ++folded;
        EXPECT_EQ(key_of(unit), key_of(upper)) << std::hex << code;
    }
    // Where the key is coarser than Windows: a unit whose key Windows does not take for it.
    for (unsigned code = 0x80; code < 0x10000; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF) continue;
        const auto unit = static_cast<wchar_t>(code);
        const std::u16string key = key_of(unit);
        const auto* key_unit = reinterpret_cast<const wchar_t*>(key.data());
        if (CompareStringOrdinal(&unit, 1, key_unit, static_cast<int>(key.size()), TRUE) !=
            CSTR_EQUAL) {
            ++coarser;
        }
    }
    std::cout << folded << " units Windows upcases, all with the key of their uppercase; "
              << coarser << " units the key puts with a letter that Windows keeps apart\n";
    EXPECT_GT(folded, 1000);
}

}  // namespace
}  // namespace pelko
