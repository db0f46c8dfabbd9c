#include "platform/windows/windows_platform.h"

#include <windows.h>

#include "platform/windows/unique_resource.h"
#include "platform/windows/wide.h"
#include "platform/windows/win32_error.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace pelko::win {

void restrict_dll_search() { SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32); }

WindowsPlatform::~WindowsPlatform() {
    forget_memory_exhausted_action();
    finish_preload();
}

std::u16string WindowsPlatform::command_line() {
    const wchar_t* line = GetCommandLineW();
    return std::u16string(reinterpret_cast<const char16_t*>(line));
}

OsString WindowsPlatform::module_file_name() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return from_wide(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<OsString> WindowsPlatform::environment_variable(std::string_view name) {
    const std::wstring wide_name = to_wide(name);
    std::wstring buffer(256, L'\0');
    for (;;) {
        SetLastError(0);
        const DWORD n = GetEnvironmentVariableW(wide_name.c_str(), buffer.data(),
                                                static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return OsString{};
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            return from_wide(buffer);
        }
        buffer.resize(n);  // n is the size needed, terminating NUL included
    }
}

OsResult<void> WindowsPlatform::create_named_mutex(std::string_view name) {
    const std::wstring wide_name = to_wide(name);
    // Held until the process ends: the handle is deliberately never closed.
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, wide_name.c_str());
    const DWORD code = GetLastError();
    if (mutex == nullptr || mutex == INVALID_HANDLE_VALUE || code == ERROR_ALREADY_EXISTS) {
        return std::unexpected(win32_error(code));
    }
    return {};
}

std::uint32_t WindowsPlatform::current_process_id() { return GetCurrentProcessId(); }

void WindowsPlatform::exit_process(std::uint32_t code) {
    // A failure may end the run while the preload thread is still inside COM's start-up, or
    // stuck there. The end does not wait for it: TerminateProcess stops every thread at once and
    // runs no library's detach code, so none of it sees COM half made, and no lock that thread
    // holds (the loader's, which ExitProcess takes first) can hold the process, and with it the
    // setup mutex, alive.
    if (preload_thread_ != nullptr && WaitForSingleObject(preload_thread_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(GetCurrentProcess(), code);
    }
    ExitProcess(code);
}

std::uint64_t WindowsPlatform::system_time() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

MonotonicTime WindowsPlatform::monotonic_time() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    const auto ticks = static_cast<std::uint64_t>(counter.QuadPart);
    const auto per_second = static_cast<std::uint64_t>(frequency.QuadPart);
    const std::uint64_t rest = ticks % per_second;
    return MonotonicTime{ticks / per_second,
                         static_cast<std::uint32_t>(rest * 1'000'000'000ULL / per_second)};
}

void WindowsPlatform::sleep(std::chrono::milliseconds duration) {
    const MonotonicTime start = monotonic_time();
    UniqueHandle timer(CreateWaitableTimerExW(nullptr, nullptr,
                                              CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                              TIMER_ALL_ACCESS));
    if (timer) {
        LARGE_INTEGER due;
        due.QuadPart = -static_cast<LONGLONG>(duration.count()) * 10'000;
        if (SetWaitableTimer(timer.get(), &due, 0, nullptr, nullptr, FALSE) &&
            WaitForSingleObject(timer.get(), INFINITE) == WAIT_OBJECT_0) {
            return;
        }
    }
    Sleep(static_cast<DWORD>(duration.count()));
    const MonotonicTime end = monotonic_time();
    const std::uint64_t elapsed_ns =
        (end.seconds - start.seconds) * 1'000'000'000ULL + end.nanoseconds - start.nanoseconds;
    if (elapsed_ns < static_cast<std::uint64_t>(duration.count()) * 1'000'000ULL) Sleep(1);
}

void WindowsPlatform::message_box(std::string_view text, std::string_view caption,
                                  std::uint32_t style) {
    const std::wstring wide_text = to_wide(text);
    const std::wstring wide_caption = to_wide(caption);
    MessageBoxW(nullptr, wide_text.c_str(), wide_caption.c_str(), style);
}

OsResult<std::u16string> WindowsPlatform::system_message(std::uint32_t number, bool from_ntdll) {
    DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    HMODULE ntdll = nullptr;
    if (from_ntdll) {
        ntdll = GetModuleHandleW(L"ntdll.dll");
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
    }
    wchar_t buffer[2048];
    const DWORD n = FormatMessageW(flags, ntdll, number, 0, buffer, 2048, nullptr);
    if (n == 0) return last_error();
    return std::u16string(reinterpret_cast<const char16_t*>(buffer), n);
}

}  // namespace pelko::win
