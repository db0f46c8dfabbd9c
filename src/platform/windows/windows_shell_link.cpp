#include "platform/windows/windows_platform.h"

#include <windows.h>

#include <objbase.h>
#include <oaidl.h>
#include <oleauto.h>
#include <shobjidl.h>

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

IShellLinkW* shell_link(ComObject object) { return reinterpret_cast<IShellLinkW*>(object.value); }

template <class Interface>
ComObject com_object(Interface* pointer) {
    return ComObject{reinterpret_cast<std::uintptr_t>(pointer)};
}

bool holds_nul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

std::u16string bstr_text(BSTR text) {
    if (text == nullptr) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

// The restricted description when it has one, else the description; empty when the object
// has no IRestrictedErrorInfo or neither text.
std::u16string restricted_message(IErrorInfo* info) {
    RestrictedErrorInfo* restricted = nullptr;
    if (FAILED(info->QueryInterface(kIidRestrictedErrorInfo, reinterpret_cast<void**>(&restricted))) ||
        restricted == nullptr) {
        return {};
    }
    BSTR description = nullptr;
    BSTR restricted_description = nullptr;
    BSTR capability_sid = nullptr;
    HRESULT error = S_OK;
    std::u16string message;
    if (SUCCEEDED(restricted->GetErrorDetails(&description, &error, &restricted_description,
                                              &capability_sid))) {
        message = bstr_text(restricted_description);
        if (message.empty()) message = bstr_text(description);
    }
    SysFreeString(description);
    SysFreeString(restricted_description);
    SysFreeString(capability_sid);
    restricted->Release();
    return message;
}

// The preload thread: one Shell link object made and dropped in an apartment of its own. This
// loads shell32 and what it needs and makes COM's process-wide start-up, so that the same steps
// on the main thread later find them done. Every failure only means nothing was preloaded.
DWORD WINAPI preload_shell_link_thread(void*) {
    // Held until the process ends: the last CoUninitialize of a process may unload the libraries
    // COM loaded, and this one may come before the main thread's CoInitializeEx.
    LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 0;
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        link != nullptr) {
        link->Release();
    }
    CoUninitialize();
    return 0;
}

}  // namespace

WindowsPlatform::~WindowsPlatform() { finish_preload(); }

void WindowsPlatform::preload_shell_link() {
    if (preload_thread_ != nullptr) return;
    // A thread that cannot be made leaves all the work to com_initialize and what follows.
    preload_thread_ = CreateThread(nullptr, 0, preload_shell_link_thread, nullptr, 0, nullptr);
}

void WindowsPlatform::finish_preload() {
    if (preload_thread_ == nullptr) return;
    WaitForSingleObject(preload_thread_, INFINITE);
    CloseHandle(preload_thread_);
    preload_thread_ = nullptr;
}

HResult WindowsPlatform::com_initialize() {
    // One apartment start-up at a time: the preload's is over before this one begins.
    finish_preload();
    return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}

void WindowsPlatform::com_uninitialize() { CoUninitialize(); }

void WindowsPlatform::com_release(ComObject object) {
    if (object) reinterpret_cast<IUnknown*>(object.value)->Release();
}

HResult WindowsPlatform::create_shell_link(ComObject& link) {
    IShellLinkW* created = nullptr;
    const HRESULT result = CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                            kIidShellLinkW, reinterpret_cast<void**>(&created));
    if (SUCCEEDED(result)) link = com_object(created);
    return result;
}

HResult WindowsPlatform::shell_link_set_path(ComObject link, std::string_view path) {
    if (holds_nul(path)) return E_INVALIDARG;
    return shell_link(link)->SetPath(to_wide(path).c_str());
}

HResult WindowsPlatform::shell_link_set_working_directory(ComObject link, std::string_view path) {
    if (holds_nul(path)) return E_INVALIDARG;
    return shell_link(link)->SetWorkingDirectory(to_wide(path).c_str());
}

HResult WindowsPlatform::shell_link_set_icon_location(ComObject link, std::string_view path,
                                                      int index) {
    if (holds_nul(path)) return E_INVALIDARG;
    return shell_link(link)->SetIconLocation(to_wide(path).c_str(), index);
}

HResult WindowsPlatform::shell_link_set_description(ComObject link, std::string_view text) {
    if (holds_nul(text)) return E_INVALIDARG;
    return shell_link(link)->SetDescription(to_wide(text).c_str());
}

HResult WindowsPlatform::query_persist_file(ComObject link, ComObject& file) {
    IPersistFile* persist = nullptr;
    const HRESULT result =
        shell_link(link)->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(&persist));
    if (SUCCEEDED(result)) file = com_object(persist);
    return result;
}

HResult WindowsPlatform::persist_file_save(ComObject file, std::string_view path, bool remember) {
    if (holds_nul(path)) return E_INVALIDARG;
    return reinterpret_cast<IPersistFile*>(file.value)
        ->Save(to_wide(path).c_str(), remember ? TRUE : FALSE);
}

ComObject WindowsPlatform::take_error_info() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK) return {};
    return com_object(info);
}

std::u16string WindowsPlatform::error_info_message(ComObject object) {
    if (!object) return {};
    auto* info = reinterpret_cast<IErrorInfo*>(object.value);
    std::u16string message = restricted_message(info);
    if (!message.empty()) return message;
    BSTR description = nullptr;
    if (SUCCEEDED(info->GetDescription(&description))) message = bstr_text(description);
    SysFreeString(description);
    return message;
}

std::u16string WindowsPlatform::hresult_message(HResult result) {
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                  FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD number = static_cast<DWORD>(result);
    HMODULE ntdll = nullptr;
    if ((number & kNtStatusBit) != 0) {
        // NT status codes carried in an HRESULT: ntdll's message table has their texts.
        number &= ~kNtStatusBit;
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
        ntdll = LoadLibraryExA("ntdll.dll", nullptr, kLoadLibrarySearchDefaultDirs);
    }
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(flags, ntdll, number, 0,
                                        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string message;
    if (length != 0 && buffer != nullptr) {
        message.assign(reinterpret_cast<const char16_t*>(buffer), length);
    }
    if (buffer != nullptr) LocalFree(buffer);
    if (ntdll != nullptr) FreeLibrary(ntdll);
    return message;
}

}  // namespace pelko::win
