// The executable's manifest, version information and icon, read back from the built file.
#include <windows.h>

#include <gtest/gtest.h>

#include "launch.h"
#include "test_paths.h"

namespace pelko {
namespace {

std::string resource_text(HMODULE module, LPCWSTR type, LPCWSTR name) {
    const HRSRC found = FindResourceW(module, name, type);
    if (!found) return {};
    const HGLOBAL loaded = LoadResource(module, found);
    return std::string(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
}

std::wstring version_string(const std::vector<char>& block, const wchar_t* key) {
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
    if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) {
        return {};
    }
    return std::wstring(value, length > 0 ? length - 1 : 0);
}

TEST(SetupResources, ManifestVersionAndIcon) {
    const std::wstring exe = test::setup_exe();
    const HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);

    const std::string manifest = resource_text(module, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);

    const std::string icons = resource_text(module, MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(1));
    ASSERT_GE(icons.size(), 6u);
    EXPECT_EQ(static_cast<unsigned char>(icons[4]), 3u) << "three icon sizes";
    FreeLibrary(module);

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, block.data()));
    EXPECT_EQ(version_string(block, L"ProductName"), L"Pelko");
    EXPECT_EQ(version_string(block, L"FileDescription"), L"Pelko Setup");
    EXPECT_EQ(version_string(block, L"CompanyName"), L"Daskove");
    EXPECT_EQ(version_string(block, L"ProductVersion"), L"0.1.1");
    EXPECT_EQ(version_string(block, L"FileVersion"), L"0.1.1");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00000001u);
}

}  // namespace
}  // namespace pelko
