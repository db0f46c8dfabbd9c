#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace pelko {

// Appends one line "{time} pid {pid} {message}\n" to %LOCALAPPDATA%\Pelko\logs\setup.log.
// Best effort: never fails, keeps nothing open, takes no lock.
void write_log_line(Platform& os, std::string_view message);

// The line for a wall-clock reading (100 ns units since 1601), a process id and a message. The
// time field is milliseconds since 1970, 0 for any earlier reading.
std::string format_log_line(std::uint64_t system_time, std::uint32_t process_id,
                            std::string_view message);

}  // namespace pelko
