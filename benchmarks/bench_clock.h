#pragma once

#include <windows.h>

#include <cstdint>

// The wall clock of the Windows benchmarks, in milliseconds, as precise as the system gives it.
inline double now_ms() {
    FILETIME time;
    GetSystemTimePreciseAsFileTime(&time);
    const std::uint64_t ticks = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    return static_cast<double>(ticks) / 10000.0;
}
