// The Shell link on Win32: the whole COM sequence of one save, and the text of its failure.
#include "platform/windows/windows_platform.h"

#include <windows.h>

#include <objbase.h>
#include <oaidl.h>
#include <oleauto.h>
#include <shobjidl.h>

#include "platform/windows/com_resources.h"
#include "platform/windows/shell_link_error.h"
#include "platform/windows/wide.h"

namespace pelko::win {

// IRestrictedErrorInfo (restrictederrorinfo.h), which the MinGW headers do not declare. COM
// objects are destroyed through Release, never through a destructor. Declared outside the
// unnamed namespace on purpose: there GCC would see that no class of this program implements
// it and turn every call of its methods into a pure-virtual-call abort.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
struct RestrictedErrorInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetErrorDetails(BSTR* description, HRESULT* error,
                                                      BSTR* restricted_description,
                                                      BSTR* capability_sid) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetReference(BSTR* reference) = 0;
};
#pragma GCC diagnostic pop

namespace {

constexpr GUID kClsidShellLink = {0x00021401, 0x0000, 0x0000,
                                  {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidShellLinkW = {0x000214F9, 0x0000, 0x0000,
                                 {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidPersistFile = {0x0000010B, 0x0000, 0x0000,
                                  {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidRestrictedErrorInfo = {0x82BA7092, 0x4C88, 0x427D,
                                          {0xA7, 0xBC, 0x16, 0xDD, 0x93, 0xFE, 0xB6, 0x7E}};

constexpr DWORD kNtStatusBit = 0x10000000;
constexpr DWORD kLoadLibrarySearchDefaultDirs = 0x00001000;

std::u16string bstr_text(BSTR text) {
    if (text == nullptr) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

// The restricted description when it has one, else the description; empty when the object
// has no IRestrictedErrorInfo or neither text.
std::u16string restricted_message(IErrorInfo* info) {
    ComPointer<RestrictedErrorInfo> restricted;
    if (FAILED(info->QueryInterface(kIidRestrictedErrorInfo,
                                    reinterpret_cast<void**>(restricted.out()))) ||
        !restricted) {
        return {};
    }
    UniqueBstr description;
    UniqueBstr restricted_description;
    UniqueBstr capability_sid;
    HRESULT error = S_OK;
    if (FAILED(restricted.get()->GetErrorDetails(description.out(), &error,
                                                 restricted_description.out(),
                                                 capability_sid.out()))) {
        return {};
    }
    std::u16string message = bstr_text(restricted_description.get());
    return message.empty() ? bstr_text(description.get()) : message;
}

// The message of an error-information object: the restricted one, else IErrorInfo's
// description; empty when it has none.
std::u16string error_info_message(IErrorInfo* info) {
    std::u16string message = restricted_message(info);
    if (!message.empty()) return message;
    UniqueBstr description;
    if (FAILED(info->GetDescription(description.out()))) return {};
    return bstr_text(description.get());
}

// The system's message for an HRESULT (ntdll's for an NT status carried in it); empty when the
// system has none.
std::u16string hresult_message(HRESULT result) {
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                  FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD number = static_cast<DWORD>(result);
    UniqueModule ntdll;
    if ((number & kNtStatusBit) != 0) {
        number &= ~kNtStatusBit;
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
        ntdll.reset(LoadLibraryExA("ntdll.dll", nullptr, kLoadLibrarySearchDefaultDirs));
    }
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(flags, ntdll.get(), number, 0,
                                        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const UniqueLocalMemory owned(buffer);
    if (length == 0 || buffer == nullptr) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(buffer), length);
}

// Calls `set` with the text as a NUL-terminated UTF-16 string; a text holding a NUL cannot be
// one and fails as an invalid argument.
template <class Set>
HRESULT with_text(const std::string& text, Set set) {
    if (text.find('\0') != std::string::npos) return E_INVALIDARG;
    return set(to_wide(text).c_str());
}

// The link's calls in their order; the first failure ends them. What was obtained stays in
// `shell` and `file` for the caller's scope to release.
HRESULT write_link(const ShellLink& link, ComPointer<IShellLinkW>& shell,
                   ComPointer<IPersistFile>& file) {
    HRESULT result = CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      kIidShellLinkW, reinterpret_cast<void**>(shell.out()));
    if (SUCCEEDED(result) && !shell) result = E_POINTER;
    if (FAILED(result)) return result;
    IShellLinkW* const l = shell.get();

    result = with_text(link.target, [&](const wchar_t* t) { return l->SetPath(t); });
    if (FAILED(result)) return result;
    if (link.working_directory) {
        result = with_text(*link.working_directory,
                           [&](const wchar_t* t) { return l->SetWorkingDirectory(t); });
        if (FAILED(result)) return result;
    }
    result = with_text(link.icon,
                       [&](const wchar_t* t) { return l->SetIconLocation(t, link.icon_index); });
    if (FAILED(result)) return result;
    result = with_text(link.description, [&](const wchar_t* t) { return l->SetDescription(t); });
    if (FAILED(result)) return result;

    result = l->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(file.out()));
    if (SUCCEEDED(result) && !file) result = E_POINTER;
    if (FAILED(result)) return result;
    return with_text(link.file, [&](const wchar_t* t) { return file.get()->Save(t, TRUE); });
}

// The preload thread: one Shell link object made and dropped in an apartment of its own. This
// loads shell32 and what it needs and makes COM's process-wide start-up, so that the same steps
// on the main thread later find them done. Every failure only means nothing was preloaded.
DWORD WINAPI preload_shell_link_thread(void*) {
    // Held until the process ends: the last CoUninitialize of a process may unload the libraries
    // COM loaded, and this one may come before the main thread's CoInitializeEx.
    LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const ComApartment apartment(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    if (!apartment) return 0;
    ComPointer<IShellLinkW> link;
    (void)CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkW,
                           reinterpret_cast<void**>(link.out()));
    return 0;
}

}  // namespace

ShortcutError shell_link_error(HRESULT result) {
    ComPointer<IErrorInfo> info;
    if (GetErrorInfo(0, info.out()) != S_OK) info.reset();
    const std::u16string message = info ? error_info_message(info.get()) : hresult_message(result);
    return ShortcutError{result, shortcut_error_text(result, message)};
}

void WindowsPlatform::preload_shell_link() {
    if (preload_thread_ != nullptr) return;
    // A thread that cannot be made leaves all the work to save_shell_link.
    preload_thread_ = CreateThread(nullptr, 0, preload_shell_link_thread, nullptr, 0, nullptr);
}

void WindowsPlatform::finish_preload() {
    if (preload_thread_ == nullptr) return;
    WaitForSingleObject(preload_thread_, INFINITE);
    CloseHandle(preload_thread_);
    preload_thread_ = nullptr;
}

std::expected<void, ShortcutError> WindowsPlatform::save_shell_link(const ShellLink& link) {
    // One apartment start-up at a time: the preload's is over before this one begins.
    finish_preload();
    // A failed initialisation (another apartment model already) is not reported here; it only
    // means that there is no apartment of this call's to close. The scope ends last: the link's
    // interfaces are released first.
    const ComApartment apartment(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ComPointer<IShellLinkW> shell;
    ComPointer<IPersistFile> file;
    const HRESULT result = write_link(link, shell, file);
    if (SUCCEEDED(result)) return {};
    // Made now, while the error information and its apartment are alive.
    return std::unexpected(shell_link_error(result));
}

}  // namespace pelko::win
