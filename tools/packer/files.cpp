#include "files.h"

#include <atomic>
#include <csignal>

#include "host_os.h"
#include "payload/inflate/payload_checksum.h"

namespace pelko::packer {

namespace fs = std::filesystem;

namespace {

// The temporary files of the OutputFiles alive, for a stop by a signal to remove. The slots are
// atomic so that the handler, which may run at any moment (on Windows on a thread of its own),
// sees each path whole or not at all.
using PathChar = fs::path::value_type;
std::atomic<const PathChar*> live_temporaries[4];

void remove_live_temporaries() {
    for (auto& slot : live_temporaries) {
        if (const PathChar* path = slot.exchange(nullptr)) host::remove_in_handler(path);
    }
}

void watch_stop_signals() {
    static const bool watching = [] {
        host::on_stop(remove_live_temporaries);
        return true;
    }();
    (void)watching;
}

void track(const PathChar* path) {
    watch_stop_signals();
    for (auto& slot : live_temporaries) {
        const PathChar* empty = nullptr;
        if (slot.compare_exchange_strong(empty, path)) return;
    }
}

void untrack(const PathChar* path) {
    for (auto& slot : live_temporaries) {
        const PathChar* expected = path;
        if (slot.compare_exchange_strong(expected, nullptr)) return;
    }
}

}  // namespace

fs::path utf8_path(std::string_view text) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string path_text(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::vector<std::string> command_line_utf8(int argc, char** argv) {
    return host::command_line_utf8(argc, argv);
}

void use_binary_output() { host::use_binary_output(); }

WholeFile read_whole(const fs::path& path, std::uint64_t limit) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) throw Failure{path_text(path) + ": no such file"};
    auto file = SourceFile::open(path);
    if (!file) throw Failure{path_text(path) + ": " + file.error()};
    const std::uint64_t size = file->stamp().size;
    if (size > limit) {
        throw Failure{path_text(path) + ": file over 4 GiB (" + std::to_string(size) + " bytes)"};
    }
    WholeFile whole{std::vector<std::byte>(size), file->stamp()};
    const auto got = file->read(whole.bytes);
    // Its last byte read: through the handle and by its name, still the file that was opened.
    if (auto same = file->check_unchanged(path); !same) {
        throw Failure{path_text(path) + ": changed while it was read (" + same.error() + ")"};
    }
    if (!got || *got != size) {
        throw Failure{path_text(path) + ": cannot read" + (got ? "" : ": " + got.error())};
    }
    return whole;
}

void require_unchanged(const fs::path& path, const FileStamp& stamp) {
    if (auto same = check_unchanged(path, stamp); !same) {
        throw Failure{path_text(path) + ": changed while it was read (" + same.error() + ")"};
    }
}

OutputFile::OutputFile(fs::path path)
    : path_(std::move(path)), temporary_(fs::path(path_).concat("..partial")) {
    track(temporary_.c_str());
    file_ = host::create_for_writing(temporary_);
    if (file_ == nullptr) {
        untrack(temporary_.c_str());
        throw Failure{path_text(path_) + ": cannot write"};
    }
}

OutputFile::~OutputFile() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    untrack(temporary_.c_str());
    std::error_code ignored;
    fs::remove(temporary_, ignored);
}

void OutputFile::write(std::span<const std::byte> bytes) {
    if (bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        throw Failure{path_text(path_) + ": cannot write"};
    }
}

void OutputFile::flush() {
    if (std::fflush(file_) != 0) throw Failure{path_text(path_) + ": cannot write"};
}

std::uint32_t OutputFile::append_file(const fs::path& source, std::uint64_t size) {
    auto in = SourceFile::open(source);
    if (!in) throw Failure{path_text(source) + ": " + in.error()};
    std::vector<std::byte> block(std::size_t{1} << 20);
    std::uint64_t copied = 0;
    std::uint32_t crc = 0;
    for (;;) {
        const auto got = in->read(block);
        if (!got) throw Failure{path_text(source) + ": cannot read: " + got.error()};
        if (*got == 0) break;
        const auto bytes = std::span(block).first(*got);
        write(bytes);
        crc = payload_crc32(bytes, crc);
        copied += *got;
    }
    if (copied != size) throw Failure{path_text(source) + ": cannot read"};
    return crc;
}

void OutputFile::commit() {
    const bool written = std::fflush(file_) == 0 && std::ferror(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    // The temporary stays watched until it is gone under its own name (a stop meanwhile finds
    // nothing to remove, never the finished file).
    std::error_code ec;
    if (!written || !closed) {
        fs::remove(temporary_, ec);
        untrack(temporary_.c_str());
        throw Failure{path_text(path_) + ": cannot write"};
    }
    fs::rename(temporary_, path_, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary_, ignored);
    }
    untrack(temporary_.c_str());
    if (ec) throw Failure{path_text(path_) + ": cannot write: " + ec.message()};
}

void write_whole(const fs::path& path, std::span<const std::byte> bytes, const fs::path& made_of,
                 const FileStamp& stamp) {
    OutputFile out(path);
    out.write(bytes);
    require_unchanged(made_of, stamp);
    out.commit();
}

}  // namespace pelko::packer
