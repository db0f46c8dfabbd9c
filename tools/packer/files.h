#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <expected>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "source_file.h"

namespace pelko::packer {

// A path from UTF-8 text, and a path as UTF-8 text, on every system (Windows takes a narrow
// string for the ANSI code page otherwise).
std::filesystem::path utf8_path(std::string_view text);
std::string path_text(const std::filesystem::path& path);

// The program's arguments without its name, as UTF-8
// (on Windows read from the wide command line, not through the ANSI code page).
std::vector<std::string> command_line_utf8(int argc, char** argv);

// Standard output and error as bytes, so that texts end lines in "\n" on every system (on
// Windows they would otherwise be written with "\r\n").
void use_binary_output();

// A failure of a command, with the message it ends with.
struct Failure {
    std::string text;
};

// A whole file as it was read, and its stamp as it was opened.
struct WholeFile {
    std::vector<std::byte> bytes;
    FileStamp stamp;
};

// The whole file, read through one handle; throws Failure when it is missing, longer than
// `limit` bytes, or changed while it was read ("{file}: changed while it was read ({what})").
WholeFile read_whole(const std::filesystem::path& path, std::uint64_t limit);

// Throws Failure as read_whole does unless the file at `path` still has `stamp`: for a command to
// ask before it puts in place what it made of the file.
void require_unchanged(const std::filesystem::path& path, const FileStamp& stamp);

// A file written beside its target, under a name that holds "..", so that it is never a file
// of a payload (whose names cannot hold it), and moved over the target only when complete, so
// that a failed command leaves no partial output; a command stopped by Ctrl-C or a signal
// (SIGINT, SIGTERM, SIGHUP) removes it as it ends. Throws Failure when it cannot be made or
// written.
class OutputFile {
public:
    explicit OutputFile(std::filesystem::path path);
    ~OutputFile();  // a file not committed is removed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    std::FILE* stream() { return file_; }
    void write(std::span<const std::byte> bytes);
    // Writes out what is buffered, so that the temporary file holds all that was written.
    void flush();
    const std::filesystem::path& temporary_path() const { return temporary_; }
    // Appends the whole of the file at `source`, a block at a time (never held whole), and gives
    // the CRC-32 of what it appended; throws Failure unless it had exactly `size` bytes.
    std::uint32_t append_file(const std::filesystem::path& source, std::uint64_t size);
    // Closes the file and moves it over the target.
    void commit();

private:
    std::filesystem::path path_;
    std::filesystem::path temporary_;
    std::FILE* file_ = nullptr;
};

// The whole file written through an OutputFile, put in place only while the file it was made of,
// `made_of`, still has its stamp (else require_unchanged's failure).
void write_whole(const std::filesystem::path& path, std::span<const std::byte> bytes,
                 const std::filesystem::path& made_of, const FileStamp& stamp);

}  // namespace pelko::packer
