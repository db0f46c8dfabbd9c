#include "progress.h"

#include <cmath>

#include "host_os.h"

namespace pelko::packer {
namespace {

std::string megabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
    return text;
}

std::string duration(double seconds) {
    const auto whole = static_cast<long long>(std::ceil(seconds));
    if (whole < 60) return std::to_string(whole) + " s";
    return std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
}

}  // namespace

Progress::Progress(std::FILE* terminal, std::uint64_t total_bytes, std::size_t total_files)
    : out_(terminal != nullptr && host::is_terminal(terminal) ? terminal : nullptr),
      total_bytes_(total_bytes),
      total_files_(total_files) {
    if (out_ == nullptr) return;
    ticker_ = std::thread([this] {
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return done_; })) {
            show();
        }
    });
}

Progress::~Progress() { finish(); }

void Progress::update(std::uint64_t bytes_done, std::size_t files_done) {
    if (out_ == nullptr) return;
    const std::lock_guard lock(mutex_);
    bytes_ = bytes_done;
    files_ = files_done;
    show();
}

void Progress::finish() {
    if (out_ == nullptr) return;
    {
        const std::lock_guard lock(mutex_);
        if (done_) return;
        done_ = true;
        show();
        std::fputc('\n', out_);
    }
    wake_.notify_all();
    ticker_.join();
}

void Progress::show() {
    const std::string text = line(bytes_, total_bytes_, files_, total_files_,
                                  std::chrono::steady_clock::now() - start_);
    // Carriage return, the line, and the rest of a longer earlier line cleared.
    std::fprintf(out_, "\r%s\x1b[K", text.c_str());
    std::fflush(out_);
}

std::string Progress::line(std::uint64_t bytes_done, std::uint64_t total_bytes,
                           std::size_t files_done, std::size_t total_files,
                           std::chrono::duration<double> elapsed) {
    std::string text = "packing " + megabytes(bytes_done) + " of " + megabytes(total_bytes) +
                       " MB, " + std::to_string(files_done) + " of " +
                       std::to_string(total_files) + " files";
    const double seconds = elapsed.count();
    if (bytes_done == 0 || seconds <= 0) return text;
    const double rate = static_cast<double>(bytes_done) / seconds;
    text += ", " + megabytes(static_cast<std::uint64_t>(rate)) + " MB/s";
    if (bytes_done < total_bytes) {
        text += ", " + duration(static_cast<double>(total_bytes - bytes_done) / rate) + " left";
    }
    return text;
}

}  // namespace pelko::packer
