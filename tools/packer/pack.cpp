#include "pack.h"

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "deflate_encoder.h"
#include "payload/inflate/payload_checksum.h"
#include "stream_cuts.h"

namespace pelko::packer {
namespace {

// One part of the container: where it lies, and, once made, its stream or why there is none.
struct Part {
    std::uint64_t begin = 0;
    std::uint64_t size = 0;
    bool last = false;
    bool made = false;
    std::vector<std::byte> stream;
    std::string failure;
};

// The ranges of the container compressed so far, merged, and what they say of the work done.
class DoneRanges {
public:
    void add(std::uint64_t begin, std::uint64_t end) {
        bytes_ += end - begin;
        auto next = ranges_.upper_bound(begin);
        if (next != ranges_.begin() && std::prev(next)->second >= begin) {
            --next;
            begin = next->first;
            end = std::max(end, next->second);
            next = ranges_.erase(next);
        }
        while (next != ranges_.end() && next->first <= end) {
            end = std::max(end, next->second);
            next = ranges_.erase(next);
        }
        ranges_.emplace(begin, end);
    }
    bool covers(std::uint64_t begin, std::uint64_t end) const {
        if (begin == end) return true;
        auto at = ranges_.upper_bound(begin);
        return at != ranges_.begin() && std::prev(at)->second >= end;
    }
    std::uint64_t bytes() const { return bytes_; }

private:
    std::map<std::uint64_t, std::uint64_t> ranges_;  // begin -> end
    std::uint64_t bytes_ = 0;
};

// Reads, compresses and checks one part, telling each slice done; never throws.
void make_part(const ContainerLayout& layout, Part& part, std::vector<std::byte>& stream,
               std::string& failure,
               const std::function<void(std::uint64_t, std::uint64_t)>& compressed) {
    try {
        std::vector<std::byte> bytes(static_cast<std::size_t>(part.size));
        if (auto read = layout.read(part.begin, bytes); !read) {
            failure = read.error();
            return;
        }
        stream = deflate_part(bytes, part.last, [&](std::size_t offset, std::size_t size) {
            compressed(part.begin + offset, part.begin + offset + size);
        });
        if (!part_inflates_to(stream, bytes, part.last)) {
            failure = "internal error: a compressed part does not inflate to its bytes";
        }
    } catch (const std::exception& e) {
        failure = e.what();
    }
}

// How many parts are made at once: as asked, else one per processor, but no more than keep the
// memory within 1.5 times the container (or one). A part being made holds its bytes, room for
// its stream and the encoder's own tables; besides, the program itself and at most as many made
// parts as workers wait to be written.
unsigned choose_threads(unsigned asked, std::uint32_t parts, std::uint64_t part_size,
                        std::uint64_t container_size) {
    if (asked != 0) return std::min<unsigned>(asked, parts);
    constexpr std::uint64_t kProgram = std::uint64_t{8} << 20;
    constexpr std::uint64_t kEncoder = std::uint64_t{8} << 20;
    const std::uint64_t budget = container_size + container_size / 2;
    unsigned threads = std::min<unsigned>(std::max(1u, std::thread::hardware_concurrency()), parts);
    const auto memory = [&](unsigned t) {
        return kProgram + t * (2 * part_size + kEncoder + part_size / 2);
    };
    while (threads > 1 && memory(threads) > budget) --threads;
    return threads;
}

}  // namespace

std::expected<PackResult, std::string> pack_container(const ContainerLayout& layout,
                                                      std::FILE* out, unsigned threads,
                                                      Progress& progress) {
    const std::uint32_t count = stream_piece_count(layout.size());
    std::vector<Part> parts(count);
    const std::uint64_t part_size = layout.size() / count;
    for (std::uint32_t k = 0; k < count; ++k) {
        parts[k].begin = part_size * k;
        parts[k].last = k + 1 == count;
        parts[k].size = parts[k].last ? layout.size() - parts[k].begin : part_size;
    }
    threads = choose_threads(threads, count, part_size, layout.size());

    // A worker takes the next part only while fewer than `threads` made parts wait to be
    // written, so that memory stays within that many parts beside those being made.
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t next = 0;
    std::size_t written = 0;
    bool stop = false;
    // The progress counts the bytes as the compressors take them in, and a file as done once
    // all of its bytes are.
    std::mutex progress_mutex;
    DoneRanges done;
    std::size_t files_done = 0;
    const auto compressed = [&](std::uint64_t begin, std::uint64_t end) {
        const std::lock_guard lock(progress_mutex);
        done.add(begin, end);
        // Each byte is compressed once: only a file with bytes in this slice can have become
        // whole with it, and none was whole before.
        files_done += layout.count_entries(
            begin, end, [&](std::uint64_t from, std::uint64_t to) { return done.covers(from, to); });
        progress.update(done.bytes(), files_done);
    };
    const auto work = [&] {
        for (;;) {
            std::size_t k = 0;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock,
                             [&] { return stop || next >= count || next < written + threads; });
                if (stop || next >= count) return;
                k = next++;
            }
            std::vector<std::byte> stream;
            std::string failure;
            make_part(layout, parts[k], stream, failure, compressed);
            {
                const std::lock_guard lock(mutex);
                parts[k].stream = std::move(stream);
                parts[k].failure = std::move(failure);
                parts[k].made = true;
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < threads; ++i) workers.emplace_back(work);

    // This thread writes each part as soon as it and all before it are made.
    PackResult result{0, 0, {layout.size(), {}}, threads};
    std::string failure;
    for (std::size_t k = 0; k < count && failure.empty(); ++k) {
        std::vector<std::byte> stream;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return parts[k].made; });
            failure = std::move(parts[k].failure);
            stream = std::move(parts[k].stream);
        }
        if (failure.empty()) {
            result.index.pieces.push_back({result.stored_size, parts[k].begin});
            if (!stream.empty() &&
                std::fwrite(stream.data(), 1, stream.size(), out) != stream.size()) {
                failure = "cannot write the payload";
            }
            result.crc32 = payload_crc32(stream, result.crc32);
            result.stored_size += stream.size();
        }
        {
            const std::lock_guard lock(mutex);
            ++written;
            if (!failure.empty()) stop = true;
        }
        changed.notify_all();
    }
    {
        const std::lock_guard lock(mutex);
        stop = true;
    }
    changed.notify_all();
    for (std::thread& worker : workers) worker.join();
    if (!failure.empty()) return std::unexpected(failure);
    return result;
}

}  // namespace pelko::packer
