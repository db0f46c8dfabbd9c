// The executable's manifest, version information and icon, read back from the built file: this
// build's installer and version, or the file and version of PELKO_RESOURCES_OF and
// PELKO_EXPECTED_VERSION (a release check runs it on another build).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>

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

std::wstring from_environment(const wchar_t* name, std::wstring otherwise) {
    wchar_t value[1024];
    const DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n > 0 && n < 1024 ? std::wstring(value, n) : otherwise;
}

TEST(SetupResources, ManifestVersionAndIcon) {
    const std::wstring exe = from_environment(L"PELKO_RESOURCES_OF", test::setup_exe());
    const std::wstring version = from_environment(L"PELKO_EXPECTED_VERSION", L"" PELKO_VERSION);
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(swscanf(version.c_str(), L"%u.%u.%u", &major, &minor, &patch), 3)
        << test::narrow(version);
    std::cout << test::narrow(exe) << ": version " << test::narrow(version) << "\n";
    const HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);

    const std::string manifest = resource_text(module, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1));
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"" + test::narrow(version) + ".0\""), std::string::npos)
        << manifest;

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
    EXPECT_EQ(version_string(block, L"ProductVersion"), version);
    EXPECT_EQ(version_string(block, L"FileVersion"), version);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwProductVersionMS, major << 16 | minor);
    EXPECT_EQ(fixed->dwProductVersionLS, patch << 16);
    EXPECT_EQ(fixed->dwFileVersionMS, major << 16 | minor);
    EXPECT_EQ(fixed->dwFileVersionLS, patch << 16);
}

}  // namespace
}  // namespace pelko
