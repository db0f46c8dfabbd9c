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
#include "files.h"
#include "payload/inflate/payload_checksum.h"
#include "payload/unpack/payload_section.h"
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
    ManifestProblem failure;
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

// Reads, compresses and checks one part, telling each slice done; never throws. `read` fills the
// part's bytes from the container.
void make_part(Part& part, std::vector<std::byte>& stream, ManifestProblem& failure,
               const std::function<std::expected<void, ManifestProblem>(std::span<std::byte>)>& read,
               const std::function<void(std::uint64_t, std::uint64_t)>& compressed) {
    try {
        std::vector<std::byte> bytes(static_cast<std::size_t>(part.size));
        if (auto got = read(bytes); !got) {
            failure = std::move(got.error());
            return;
        }
        stream = deflate_part(bytes, part.last, [&](std::size_t offset, std::size_t size) {
            compressed(part.begin + offset, part.begin + offset + size);
        });
        if (!part_inflates_to(stream, bytes, part.last)) {
            failure.text = "internal error: a compressed part does not inflate to its bytes";
        }
    } catch (const std::exception& e) {
        failure.text = e.what();
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

std::expected<PackResult, ManifestProblem> pack_container(const ContainerLayout& layout,
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
    // The parts are read in order, one at a time, so that each source is read front to back
    // through one handle.
    ContainerLayout::Reader reader(layout);
    std::mutex read_mutex;
    std::condition_variable read_turn;
    std::size_t next_read = 0;
    const auto read_part = [&](std::size_t k, std::span<std::byte> bytes) {
        std::unique_lock lock(read_mutex);
        read_turn.wait(lock, [&] { return next_read == k; });
        auto got = reader.offset() == parts[k].begin
                       ? reader.read(bytes)
                       : std::unexpected(ManifestProblem{0, "a part before was not read"});
        ++next_read;
        lock.unlock();
        read_turn.notify_all();
        return got;
    };
    // A part that failed before it was read passes its turn on (the parts after it then fail).
    const auto pass_turn = [&](std::size_t k) {
        {
            const std::lock_guard lock(read_mutex);
            if (next_read == k) ++next_read;
        }
        read_turn.notify_all();
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
            ManifestProblem failure;
            make_part(
                parts[k], stream, failure,
                [&](std::span<std::byte> bytes) { return read_part(k, bytes); }, compressed);
            pass_turn(k);
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
    ManifestProblem failure;
    for (std::size_t k = 0; k < count && failure.text.empty(); ++k) {
        std::vector<std::byte> stream;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return parts[k].made; });
            failure = std::move(parts[k].failure);
            stream = std::move(parts[k].stream);
        }
        if (failure.text.empty()) {
            result.index.pieces.push_back({result.stored_size, parts[k].begin});
            if (!stream.empty() &&
                std::fwrite(stream.data(), 1, stream.size(), out) != stream.size()) {
                failure.text = "cannot write the payload";
            }
            result.crc32 = payload_crc32(stream, result.crc32);
            result.stored_size += stream.size();
        }
        {
            const std::lock_guard lock(mutex);
            ++written;
            if (!failure.text.empty()) stop = true;
        }
        changed.notify_all();
    }
    {
        const std::lock_guard lock(mutex);
        stop = true;
    }
    changed.notify_all();
    for (std::thread& worker : workers) worker.join();
    if (!failure.text.empty()) return std::unexpected(std::move(failure));
    return result;
}

std::expected<PackResult, ManifestProblem> pack_to_files(
    const ContainerLayout& layout, const std::filesystem::path& output,
    const std::optional<std::filesystem::path>& section, unsigned threads, Progress& progress) {
    OutputFile out(output);
    auto packed = pack_container(layout, out.stream(), threads, progress);
    progress.finish();
    if (!packed) return packed;
    std::optional<OutputFile> section_file;
    if (section) {
        // The stream as written, and the index of the cuts it was made with.
        out.flush();
        section_file.emplace(*section);
        section_file->write(payload_section_header(packed->crc32, packed->stored_size));
        if (section_file->append_file(out.temporary_path(), packed->stored_size) != packed->crc32) {
            return std::unexpected(ManifestProblem{
                0, path_text(output) + ": changed while it was written (its CRC-32 differs)"});
        }
        section_file->write(encode_stream_index(packed->index));
    }
    if (auto unchanged = layout.check_unchanged(); !unchanged) {
        return std::unexpected(std::move(unchanged.error()));
    }
    out.commit();
    if (section_file) section_file->commit();
    return packed;
}

}  // namespace pelko::packer
