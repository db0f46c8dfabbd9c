// The end-to-end baseline of the installer: inflates the embedded payload with zlib in one call
// into a buffer of the container's size (given on the command line), then writes every entry
// with CreateFileW, one WriteFile and CloseHandle, creating the directories the names need. No
// checks, no staging file, no log. Prints the milliseconds from its start to the last close
// (baseline_ms), and of its two parts, the floors of the installer's phases: inflating with
// nothing written (inflate_ms) and writing the files from memory with nothing inflated
// (write_ms). With --pieces, in a process of its own, the floor of the installer's own inflating:
// the pieces of the payload's index inflated as the installer inflates them (libdeflate, every
// processor) into one fresh buffer, nothing else done (pieces_ms).
//
//   baseline_install CONTAINER_SIZE TARGET_DIR
//   baseline_install --pieces CONTAINER_SIZE
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_clock.h"
#include "payload/unpack/payload_section.h"
#include "payload/inflate/indexed_piece.h"
#include "payload/inflate/stream_index.h"

// The payload section, placed by the build as in pelko-setup.exe.
extern "C" const std::byte pelko_payload_section[];
extern "C" const std::byte pelko_payload_section_end[];

namespace {

std::wstring widen(const char* text, std::size_t length) {
    std::wstring wide(length, L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), wide.data(),
                                      static_cast<int>(length));
    wide.resize(static_cast<std::size_t>(n));
    return wide;
}

}  // namespace

namespace {

int pieces_floor(std::size_t size, const pelko::EmbeddedPayload& payload) {
    const auto index = pelko::decode_stream_index(payload.index, payload.stored.size());
    if (!index || index->pieces.size() < 2 || index->container_size != size) return 1;
    const double start = now_ms();
    std::unique_ptr<std::byte[]> buffer(new std::byte[size]);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    const auto work = [&] {
        for (std::size_t i = next++; i < index->pieces.size(); i = next++) {
            const auto piece = pelko::piece_range(*index, payload.stored, i);
            const std::span out(buffer.get() + piece.container_offset, piece.container_length);
            if (!pelko::inflate_indexed_piece(piece.stored, out, piece.last,
                                              pelko::heap_memory())) {
                failed = true;
            }
        }
    };
    std::vector<std::thread> others(std::max(1u, std::thread::hardware_concurrency()) - 1);
    for (std::thread& other : others) other = std::thread(work);
    work();
    for (std::thread& other : others) other.join();
    if (failed) return 1;
    std::printf("pieces_ms %.3f\n", now_ms() - start);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"--pieces") {
        const auto payload = pelko::parse_payload_section(
            std::span(pelko_payload_section, pelko_payload_section_end));
        return payload ? pieces_floor(std::wcstoull(argv[2], nullptr, 10), *payload) : 1;
    }
    const double start = now_ms();
    if (argc != 3) {
        std::fputs("usage: baseline_install CONTAINER_SIZE TARGET_DIR\n", stderr);
        return 2;
    }
    const std::size_t size = std::wcstoull(argv[1], nullptr, 10);
    const std::wstring target = argv[2];

    std::unique_ptr<unsigned char[]> container(new unsigned char[size]);
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    const auto payload = pelko::parse_payload_section(
        std::span(pelko_payload_section, pelko_payload_section_end));
    if (!payload) return 1;
    z.next_in = const_cast<Bytef*>(reinterpret_cast<const Bytef*>(payload->stored.data()));
    z.avail_in = static_cast<uInt>(payload->stored.size());
    z.next_out = container.get();
    z.avail_out = static_cast<uInt>(size);
    const int status = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    if (status != Z_STREAM_END || z.total_out != size) {
        std::fputs("baseline_install: the payload does not inflate to that size\n", stderr);
        return 1;
    }

    const double inflated = now_ms();
    CreateDirectoryW(target.c_str(), nullptr);
    std::size_t p = 0;
    while (p < size) {
        const std::size_t n = container[p] | (container[p + 1] << 8);
        std::wstring name = widen(reinterpret_cast<const char*>(&container[p + 2]), n);
        const unsigned char* d = &container[p + 2 + n];
        const DWORD length = d[0] | (d[1] << 8) | (d[2] << 16) | (DWORD{d[3]} << 24);
        const std::wstring path = target + L"\\" + name;
        for (std::size_t slash = name.find(L'/'); slash != std::wstring::npos;
             slash = name.find(L'/', slash + 1)) {
            CreateDirectoryW((target + L"\\" + name.substr(0, slash)).c_str(), nullptr);
        }
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                        nullptr);
        DWORD written = 0;
        if (file == INVALID_HANDLE_VALUE || !WriteFile(file, d + 4, length, &written, nullptr) ||
            written != length) {
            std::fprintf(stderr, "baseline_install: cannot write %ls\n", path.c_str());
            return 1;
        }
        CloseHandle(file);
        p += 6 + n + length;
    }
    const double written = now_ms();
    std::printf("baseline_ms %.3f\ninflate_ms %.3f\nwrite_ms %.3f\n", written - start,
                inflated - start, written - inflated);

    return 0;
}
