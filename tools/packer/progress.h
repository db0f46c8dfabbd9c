#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace pelko::packer {

// The progress of a long pack on a terminal: bytes and files done, rate and time left, one line
// rewritten four times a second and whenever work is done. Shows nothing when the stream is not a
// terminal, so that logs of CI pipelines stay clean. Thread-safe.
class Progress {
public:
    Progress(std::FILE* terminal, std::uint64_t total_bytes, std::size_t total_files);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Work done so far in all (not added).
    void update(std::uint64_t bytes_done, std::size_t files_done);
    // The last line, then a line break; nothing more is shown.
    void finish();

    // The line for a state of the work, e.g. "packing 215.3 of 600.0 MB, 240 of 694 files,
    // 3.2 MB/s, 2 min 12 s left".
    static std::string line(std::uint64_t bytes_done, std::uint64_t total_bytes,
                            std::size_t files_done, std::size_t total_files,
                            std::chrono::duration<double> elapsed);

private:
    void show();  // with the mutex held

    std::FILE* out_;  // null: nothing is shown
    std::uint64_t total_bytes_;
    std::size_t total_files_;
    std::uint64_t bytes_ = 0;
    std::size_t files_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread ticker_;
};

}  // namespace pelko::packer
