#pragma once

#include <windows.h>

#include <utility>

namespace pelko::win {

// One owner for every kind of OS resource: the traits say what an invalid value is and how to
// close one. Closing keeps the thread's last error, so an error can be read after cleanup.
template <class Traits>
class UniqueResource {
public:
    using Value = typename Traits::Value;

    UniqueResource() = default;
    explicit UniqueResource(Value value) : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Value get() const { return value_; }
    bool valid() const { return Traits::is_valid(value_); }
    explicit operator bool() const { return valid(); }

    Value release() { return std::exchange(value_, Traits::invalid()); }
    // Where a call that hands out a new value writes it (the old one is closed first).
    Value* out() {
        reset();
        return &value_;
    }

    void reset(Value value = Traits::invalid()) {
        if (Traits::is_valid(value_)) {
            const DWORD last_error = GetLastError();
            Traits::close(value_);
            SetLastError(last_error);
        }
        value_ = value;
    }

private:
    Value value_ = Traits::invalid();
};

struct KernelHandleTraits {
    using Value = HANDLE;
    static Value invalid() { return nullptr; }
    static bool is_valid(Value h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Value h) { CloseHandle(h); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

// A directory search (FindFirstFileExW), whose invalid value is INVALID_HANDLE_VALUE.
struct FindHandleTraits {
    using Value = HANDLE;
    static Value invalid() { return INVALID_HANDLE_VALUE; }
    static bool is_valid(Value h) { return h != INVALID_HANDLE_VALUE; }
    static void close(Value h) { FindClose(h); }
};
using UniqueFind = UniqueResource<FindHandleTraits>;

// A resource whose invalid value is null, closed by one function of the system.
template <class T, auto Close>
struct NullableTraits {
    using Value = T;
    static Value invalid() { return nullptr; }
    static bool is_valid(Value v) { return v != nullptr; }
    static void close(Value v) { Close(v); }
};

// A library loaded by this code (LoadLibraryEx), freed again.
using UniqueModule = UniqueResource<NullableTraits<HMODULE, &FreeLibrary>>;
// A buffer the system allocated for the caller (FORMAT_MESSAGE_ALLOCATE_BUFFER).
using UniqueLocalMemory = UniqueResource<NullableTraits<HLOCAL, &LocalFree>>;

}  // namespace pelko::win
