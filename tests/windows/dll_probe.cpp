// dll-probe NAME restricted|open: loads a DLL by name, after restricting the search to the
// system directory as pelko-setup.exe does ("restricted") or with the default search ("open").
// Exit code: 0 when the copy beside this program was loaded, 1 when another one was, 2 when
// none could be loaded.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 3;
    if (std::wstring(argv[2]) == L"restricted") {
        SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    const HMODULE module = LoadLibraryW(argv[1]);
    if (module == nullptr) return 2;
    wchar_t self[MAX_PATH];
    wchar_t loaded[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    GetModuleFileNameW(module, loaded, MAX_PATH);
    std::wstring dir(self);
    dir.resize(dir.find_last_of(L'\\') + 1);
    return CompareStringOrdinal(dir.c_str(), static_cast<int>(dir.size()), loaded,
                                static_cast<int>(dir.size()), TRUE) == CSTR_EQUAL
               ? 0
               : 1;
}
