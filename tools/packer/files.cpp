#include "files.h"

#include <fstream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>
#endif

namespace pelko::packer {

namespace fs = std::filesystem;

fs::path utf8_path(std::string_view text) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string path_text(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::vector<std::string> command_line_utf8(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide != nullptr && i < count; ++i) {
        args.push_back(path_text(fs::path(wide[i])));
    }
    LocalFree(wide);
    return args;
#else
    return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

void use_binary_output() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

std::vector<std::byte> read_whole(const fs::path& path, std::uint64_t limit) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) throw Failure{path_text(path) + ": no such file"};
    const std::uint64_t size = fs::file_size(path, ec);
    if (ec) throw Failure{path_text(path) + ": cannot read: " + ec.message()};
    if (size > limit) {
        throw Failure{path_text(path) + ": file over 4 GiB (" + std::to_string(size) + " bytes)"};
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<std::byte> bytes(size);
    if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        throw Failure{path_text(path) + ": cannot read"};
    }
    return bytes;
}

OutputFile::OutputFile(fs::path path)
    : path_(std::move(path)), temporary_(fs::path(path_).concat(".tmp")) {
#ifdef _WIN32
    file_ = _wfopen(temporary_.c_str(), L"wb");
#else
    file_ = std::fopen(temporary_.c_str(), "wb");
#endif
    if (file_ == nullptr) throw Failure{path_text(path_) + ": cannot write"};
}

OutputFile::~OutputFile() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    std::error_code ignored;
    fs::remove(temporary_, ignored);
}

void OutputFile::write(std::span<const std::byte> bytes) {
    if (bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        throw Failure{path_text(path_) + ": cannot write"};
    }
}

void OutputFile::commit() {
    const bool written = std::fflush(file_) == 0 && std::ferror(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    std::error_code ec;
    if (!written || !closed) {
        fs::remove(temporary_, ec);
        throw Failure{path_text(path_) + ": cannot write"};
    }
    fs::rename(temporary_, path_, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary_, ignored);
        throw Failure{path_text(path_) + ": cannot write: " + ec.message()};
    }
}

void write_whole(const fs::path& path, std::span<const std::byte> bytes) {
    OutputFile out(path);
    out.write(bytes);
    out.commit();
}

}  // namespace pelko::packer
