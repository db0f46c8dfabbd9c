// The installer's code is built without exceptions: every failure is a value, and what cannot
// be handled ends the process. The C++ runtime would still pull in its exception machinery
// through two doors: the functions that the library's headers call to throw
// (std::__throw_length_error and kin), which link every exception class and a copy-on-write
// string, and the global operator new, which throws std::bad_alloc. Both are defined here
// instead, so that the executable carries no unwinder state, exception allocator or thread
// library for them. Memory that runs out (operator new, and the library's bad_alloc and
// length_error, a size past what can be had) ends the run through the platform's action, which
// reports it as a failed run; a broken invariant of the library ends the process as an uncaught
// exception would.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>

#include <zlib.h>

#include <span>

#include "payload/inflate/payload_checksum.h"
#include "platform/windows/memory_exhausted.h"

using pelko::win::memory_exhausted;

namespace std {

void __throw_bad_exception() { std::abort(); }
void __throw_bad_alloc() { memory_exhausted(); }
void __throw_bad_array_new_length() { memory_exhausted(); }
void __throw_bad_cast() { std::abort(); }
void __throw_bad_typeid() { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_domain_error(const char*) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
void __throw_length_error(const char*) { memory_exhausted(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_runtime_error(const char*) { std::abort(); }
void __throw_range_error(const char*) { std::abort(); }
void __throw_overflow_error(const char*) { std::abort(); }
void __throw_underflow_error(const char*) { std::abort(); }
void __throw_ios_failure(const char*) { std::abort(); }
void __throw_ios_failure(const char*, int) { std::abort(); }
void __throw_system_error(int) { std::abort(); }
void __throw_future_error(int) { std::abort(); }
void __throw_bad_function_call() { std::abort(); }

}  // namespace std

namespace {

void* allocate(std::size_t size) {
    // A zero-size request still gets a distinct pointer.
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) memory_exhausted();
    return block;
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

// zlib's checksums: its CRC-32 brings 12 KiB of tables, its Adler-32 2 KiB of code, and the raw
// inflate that the installer uses never calls either (only zlib and gzip wrappers do). These
// give the same results from the core's CRC-32 and a plain Adler-32, so that zlib's are not linked.
extern "C" uLong crc32(uLong crc, const Bytef* buf, uInt len) {
    if (buf == nullptr) return 0;
    return pelko::payload_crc32(std::as_bytes(std::span(buf, len)),
                                static_cast<std::uint32_t>(crc));
}

extern "C" uLong adler32(uLong adler, const Bytef* buf, uInt len) {
    if (buf == nullptr) return 1;
    uLong a = adler & 0xFFFF;
    uLong b = (adler >> 16) & 0xFFFF;
    for (uInt i = 0; i < len; ++i) {
        a = (a + buf[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}
