#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <expected>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "source_file.h"

// What the packer asks of the system it runs on, Windows or POSIX: the one place where the two
// differ. Every text of a failure is the system's own message.
namespace pelko::packer::host {

// A file opened for reading: a HANDLE on Windows, a descriptor elsewhere.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Opened to be read front to back, others free to read, write, rename and delete it meanwhile
// (a change is found by its stamp, not prevented); the system's reason when it cannot be.
std::expected<FileHandle, std::string> open_for_reading(const std::filesystem::path& path);
void close_file(FileHandle file);
// One read of at most `out.size()` bytes (up to 1 GiB): how many it gave, 0 at the end.
std::expected<std::size_t, std::string> read_some(FileHandle file, std::span<std::byte> out);
// The stamp of the open file, and of the file a path names now.
std::expected<FileStamp, std::string> stamp_of_file(FileHandle file);
std::expected<FileStamp, std::string> stamp_of_path(const std::filesystem::path& path);

// A new file for writing, binary; null when it cannot be made.
std::FILE* create_for_writing(const std::filesystem::path& path);
// Removes a file from inside a stop handler (nothing but the system call).
void remove_in_handler(const std::filesystem::path::value_type* path);
// Runs `action` when the program is stopped (Ctrl-C; SIGINT, SIGTERM, SIGHUP), which then ends
// as the stop would have ended it. Set once.
void on_stop(void (*action)());

// True when the stream is a terminal (a console).
bool is_terminal(std::FILE* stream);
// The program's arguments without its name, as UTF-8 (on Windows read from the wide command
// line, not through the ANSI code page).
std::vector<std::string> command_line_utf8(int argc, char** argv);
// Standard output and error as bytes ("\n" stays "\n" on Windows).
void use_binary_output();

// The SHA-256 of the bytes (Windows' CNG, or OpenSSL's libcrypto).
std::array<unsigned char, 32> sha256(std::span<const std::byte> bytes);

}  // namespace pelko::packer::host
