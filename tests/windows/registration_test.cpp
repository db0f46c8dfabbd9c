// The uninstall entry and the Shell link on the real Win32 platform, under Wine.
#include <windows.h>

#include <objbase.h>
#include <oaidl.h>
#include <oleauto.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/windows/windows_platform.h"
#include "platform/windows/shell_link_error.h"
#include "registration/shortcut.h"
#include "registration/uninstall_entry.h"
#include "readback.h"
#include "shared/product.h"
#include "test_paths.h"

namespace pelko {
namespace {

// As the installer does first thing: only the system directory is searched for DLLs loaded
// later (the Shell's link object among them). In force before any test runs.
const BOOL kDllSearchRestricted = SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

TEST(DllSearch, RestrictionIsInForce) {
    ASSERT_TRUE(kDllSearchRestricted);
    // A library beside this program is not found by name any more, only when the program's
    // directory is asked for explicitly.
    wchar_t self[MAX_PATH];
    ASSERT_NE(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    std::wstring probe = self;
    probe = probe.substr(0, probe.find_last_of(L'\\') + 1) + L"pelko_search_probe.dll";
    ASSERT_TRUE(CopyFileW(self, probe.c_str(), FALSE));
    // (Wine applies the restriction to modules mapped for execution, not to data-file loads.)
    const HMODULE by_name =
        LoadLibraryExW(L"pelko_search_probe.dll", nullptr, DONT_RESOLVE_DLL_REFERENCES);
    const DWORD by_name_error = GetLastError();
    const HMODULE from_app_dir = LoadLibraryExW(
        L"pelko_search_probe.dll", nullptr,
        DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
    EXPECT_EQ(by_name, nullptr);
    EXPECT_EQ(by_name_error, static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_NE(from_app_dir, nullptr);
    if (by_name) FreeLibrary(by_name);
    if (from_app_dir) FreeLibrary(from_app_dir);
    DeleteFileW(probe.c_str());
}

TEST(WindowsUninstallEntry, NineValuesReadBackAndOtherValuesKept) {
    RegDeleteTreeW(HKEY_CURRENT_USER, test::kUninstallKey);
    const std::wstring stale = L"0.0.9";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, test::kUninstallKey, L"DisplayVersion", REG_SZ,
                              stale.c_str(), 12),
              ERROR_SUCCESS);
    const DWORD extra = 7;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, test::kUninstallKey, L"Extra", REG_DWORD, &extra,
                              4),
              ERROR_SUCCESS);

    win::WindowsPlatform os;
    const std::string install_dir = "C:\\Users\\\xC3\x85sa\\Programs\\Pelko";
    const std::string app = testing::app_exe_of(install_dir);
    const std::string command = uninstall_command(testing::guard_exe_of(install_dir));
    const std::uint64_t total = 5 * 1024 * 1024 + 1023;
    const UninstallEntry entry{kDisplayName, kProductVersion,         kPublisher,
                               install_dir,  app,                     command,
                               estimated_size_kib(total)};
    ASSERT_TRUE(write_uninstall_entry(os, entry));

    // The nine values, as Windows reads them back; a value the entry does not write stays.
    std::vector<testing::ExpectedValue> expected =
        testing::expected_uninstall_values(install_dir, total);
    expected.push_back({"Extra", REG_DWORD, testing::reg_dword(7)});
    std::ranges::sort(expected, {}, &testing::ExpectedValue::name);
    EXPECT_EQ(test::read_uninstall_values(), expected);
    RegDeleteTreeW(HKEY_CURRENT_USER, test::kUninstallKey);
}

struct WindowsShortcut : ::testing::Test {
    win::WindowsPlatform os;
    std::wstring root;
    std::string install, guard, app;
    void SetUp() override {
        root = test::fresh_directory(L"shortcut");
        CreateDirectoryW((root + L"\\Pelko").c_str(), nullptr);
        install = test::narrow(root) + "\\Pelko";
        guard = install + "\\pelko-guard.exe";
        app = install + "\\pelko.exe";
        ASSERT_TRUE(test::write_file(root + L"\\Pelko\\pelko-guard.exe", "guard"));
        ASSERT_TRUE(test::write_file(root + L"\\Pelko\\pelko.exe", "app"));
    }
    void expect_link(const std::wstring& path) {
        const auto link = test::read_shortcut(path);
        ASSERT_TRUE(link.has_value());
        EXPECT_EQ(test::narrow(link->target), guard);
        EXPECT_EQ(test::narrow(link->working_directory), install);
        EXPECT_EQ(test::narrow(link->icon), app);
        EXPECT_EQ(link->icon_index, 0);
        EXPECT_EQ(test::narrow(link->description), "Pelko, Windows UI customizer");
    }
};

TEST_F(WindowsShortcut, WrittenAndReadBackThenReplaced) {
    const std::string path = test::narrow(root) + "\\Pelko.lnk";
    ASSERT_TRUE(create_shortcut(os, path, guard, app));
    expect_link(root + L"\\Pelko.lnk");
    const std::string first = test::read_file(root + L"\\Pelko.lnk");
    ASSERT_TRUE(create_shortcut(os, path, guard, app));
    expect_link(root + L"\\Pelko.lnk");
    EXPECT_EQ(test::read_file(root + L"\\Pelko.lnk").size(), first.size());
    // The apartment was closed again: this thread can still choose the multithreaded model.
    const HRESULT again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(again, S_OK);
    if (SUCCEEDED(again)) CoUninitialize();
}

TEST_F(WindowsShortcut, PreloadLeavesThisThreadAloneAndTheLinkUnchanged) {
    const std::string path = test::narrow(root) + "\\Pelko.lnk";
    ASSERT_TRUE(create_shortcut(os, path, guard, app));
    const std::string cold = test::read_file(root + L"\\Pelko.lnk");

    // Platforms ended while their preload still runs: the thread is waited for, not cut off.
    for (int i = 0; i < 3; ++i) {
        win::WindowsPlatform short_lived;
        short_lived.preload_shell_link();
    }

    win::WindowsPlatform preloaded;
    preloaded.preload_shell_link();
    preloaded.preload_shell_link();  // a second call starts nothing more
    // The preload's apartment is its own thread's: this one can still choose any model.
    const HRESULT mta = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(mta, S_OK);
    if (SUCCEEDED(mta)) CoUninitialize();

    ASSERT_TRUE(create_shortcut(preloaded, path, guard, app));
    expect_link(root + L"\\Pelko.lnk");
    EXPECT_EQ(test::read_file(root + L"\\Pelko.lnk"), cold);
}

TEST_F(WindowsShortcut, OtherApartmentModelIsLeftAsItWas) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    const std::string path = test::narrow(root) + "\\Pelko.lnk";
    const auto made = create_shortcut(os, path, guard, app);
    // Still in the multithreaded apartment opened above (S_FALSE: already initialised).
    const HRESULT still = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(still, S_FALSE);
    if (SUCCEEDED(still)) CoUninitialize();
    CoUninitialize();
    ASSERT_TRUE(made) << made.error().text;
    expect_link(root + L"\\Pelko.lnk");
}

TEST_F(WindowsShortcut, FailuresGiveTheHresultFormAndCloseTheApartment) {
    const std::string path = test::narrow(root) + "\\missing\\Pelko.lnk";
    const auto made = create_shortcut(os, path, guard, app);
    ASSERT_FALSE(made);
    EXPECT_LT(made.error().result, 0);
    const std::string code = shortcut_error_text(made.error().result, u"");
    EXPECT_TRUE(made.error().text == code || made.error().text.ends_with(" (" + code + ")"))
        << made.error().text;
    std::cout << "missing folder: " << made.error().text << "\n";
    EXPECT_FALSE(test::file_exists(root + L"\\missing"));
    // A text that cannot be passed (a NUL in the target) fails before the save.
    const auto nul = create_shortcut(os, test::narrow(root) + "\\Pelko.lnk",
                                     std::string("C:\\a\0b.exe", 9), app);
    ASSERT_FALSE(nul);
    EXPECT_EQ(nul.error().result, static_cast<HResult>(E_INVALIDARG));
    EXPECT_FALSE(test::file_exists(root + L"\\Pelko.lnk"));
    // Each failed save closed its apartment again: this thread can choose another model.
    const HRESULT mta = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(mta, S_OK);
    if (SUCCEEDED(mta)) CoUninitialize();
}

// An error-information object as a component would leave it, optionally with the restricted
// interface; counts its references.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
struct RestrictedErrorInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetErrorDetails(BSTR*, HRESULT*, BSTR*, BSTR*) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetReference(BSTR*) = 0;
};
constexpr GUID kIidRestrictedErrorInfo = {0x82BA7092, 0x4C88, 0x427D,
                                          {0xA7, 0xBC, 0x16, 0xDD, 0x93, 0xFE, 0xB6, 0x7E}};

class TestErrorInfo final : public IErrorInfo, public RestrictedErrorInfo {
public:
    TestErrorInfo(bool restricted, std::wstring description, std::wstring restricted_description)
        : restricted_(restricted),
          description_(std::move(description)),
          restricted_description_(std::move(restricted_description)) {}
    virtual ~TestErrorInfo() = default;
    LONG references = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IErrorInfo) {
            *out = static_cast<IErrorInfo*>(this);
        } else if (restricted_ && iid == kIidRestrictedErrorInfo) {
            *out = static_cast<RestrictedErrorInfo*>(this);
        } else {
            return E_NOINTERFACE;
        }
        ++references;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }
    HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) override {
        *guid = GUID_NULL;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* source) override {
        *source = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* description) override {
        *description = SysAllocString(L"plain description\r\n");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* file) override {
        *file = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* context) override {
        *context = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetErrorDetails(BSTR* description, HRESULT* error,
                                              BSTR* restricted_description,
                                              BSTR* capability_sid) override {
        *description = description_.empty() ? nullptr : SysAllocString(description_.c_str());
        *error = E_ACCESSDENIED;
        *restricted_description = SysAllocString(restricted_description_.c_str());
        *capability_sid = SysAllocString(L"S-1-15-3-1");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetReference(BSTR* reference) override {
        *reference = nullptr;
        return S_OK;
    }

private:
    bool restricted_;
    std::wstring description_, restricted_description_;
};
#pragma GCC diagnostic pop

// The text form of an error carrying `info` as the thread's error information.
std::string text_with(TestErrorInfo& info, HResult result) {
    SetErrorInfo(0, static_cast<IErrorInfo*>(&info));  // the thread holds one reference
    return win::shell_link_error(result).text;
}

TEST(WindowsShortcutErrorText, RestrictedThenPlainDescription) {
    const HResult denied = static_cast<HResult>(0x80070005u);
    TestErrorInfo restricted(true, L"description", L"restricted description\r\n");
    EXPECT_EQ(text_with(restricted, denied), "restricted description (0x80070005)");
    EXPECT_EQ(restricted.references, 1);  // all taken references given back

    TestErrorInfo unrestricted_text(true, L"description only", L"");
    EXPECT_EQ(text_with(unrestricted_text, denied), "description only (0x80070005)");

    TestErrorInfo empty_details(true, L"", L"");
    EXPECT_EQ(text_with(empty_details, denied), "plain description (0x80070005)");

    TestErrorInfo plain(false, L"unused", L"unused");
    EXPECT_EQ(text_with(plain, denied), "plain description (0x80070005)");
    EXPECT_EQ(plain.references, 1);

    // Without an object: the system's table.
    IErrorInfo* none = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &none), S_FALSE);
    const std::string system = win::shell_link_error(denied).text;
    EXPECT_TRUE(system.ends_with(". (0x80070005)")) << system;
    EXPECT_EQ(system.find('\r'), std::string::npos);
    EXPECT_EQ(win::shell_link_error(static_cast<HResult>(0xA0BCDEF1u)).text, "0xA0BCDEF1");
    const std::string nt = win::shell_link_error(static_cast<HResult>(0xD0000022u)).text;
    std::cout << "E_POINTER: " << win::shell_link_error(E_POINTER).text << "\n"
              << "NT status 0xD0000022: " << nt << "\n";
    EXPECT_TRUE(nt.ends_with("0xD0000022")) << nt;
}

}  // namespace
}  // namespace pelko
